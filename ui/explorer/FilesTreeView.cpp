#include "ui/explorer/FilesTreeView.h"

#include <strings.h>

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>

#include "device/Volume.h"
#include "ui/explorer/ObjectIcons.h"

namespace vx {

namespace {
enum Role : int { kObjectRole = Qt::UserRole, kVolumeRole, kIsDriveRole };

QString FolderText(const FoundObject& folder) {
    return folder.name ? QString::fromUtf8(folder.name) : QStringLiteral(".");
}
}  // namespace

CFilesTreeView::CFilesTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setIconSize(QSize(16, 16));
    setExpandsOnDoubleClick(true);
    // A fixed wide column scrolls sideways; sizing it to its contents would
    // measure every item on each change.
    header()->setStretchLastSection(false);
    setColumnWidth(0, 600);
    setTextElideMode(Qt::ElideNone);
}

void CFilesTreeView::ClearAll() {
    folders_.clear();
    drives_.clear();
    clear();
}

QTreeWidgetItem* CFilesTreeView::AddDrive(QTreeWidgetItem* parent, CVolume* volume, bool first) {
    auto* item = new QTreeWidgetItem;
    item->setData(0, kVolumeRole, QVariant::fromValue<quintptr>(quintptr(volume)));
    item->setData(0, kIsDriveRole, true);
    const bool node = volume->kind == VolumeKind::ComputerNode || volume->kind == VolumeKind::RecycleBinNode;
    item->setText(0, node ? (volume->kind == VolumeKind::ComputerNode ? tr("Computer") : tr("Trash"))
                          : QString::fromStdString(volume->DisplayName()));
    item->setIcon(0, ImageIcon(ImageOfDrive(*volume)));
    if (!node) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    if (!parent) addTopLevelItem(item);
    else if (first) parent->insertChild(0, item);
    else parent->addChild(item);
    drives_.insert(volume, item);
    return item;
}

QTreeWidgetItem* CFilesTreeView::MakeFolderItem(CVolume* volume, FoundObject* folder, bool hasChildFolders) {
    auto* item = new QTreeWidgetItem;
    item->setData(0, kObjectRole, QVariant::fromValue<quintptr>(quintptr(folder)));
    item->setData(0, kVolumeRole, QVariant::fromValue<quintptr>(quintptr(volume)));
    item->setText(0, FolderText(*folder));
    item->setIcon(0, ImageIcon(ImageOf(*folder, volume->collection.rootId, false)));
    item->setChildIndicatorPolicy(hasChildFolders ? QTreeWidgetItem::ShowIndicator
                                                  : QTreeWidgetItem::DontShowIndicator);
    folders_.insert(folder, item);
    return item;
}

QTreeWidgetItem* CFilesTreeView::AddFolder(QTreeWidgetItem* parent, CVolume* volume, FoundObject* folder,
                                           bool hasChildFolders) {
    if (QTreeWidgetItem* existing = folders_.value(folder)) return existing;
    QTreeWidgetItem* item = MakeFolderItem(volume, folder, hasChildFolders);
    // Name order among the folder siblings; drive children stay first.
    int lo = 0, hi = parent->childCount();
    while (lo < hi && IsDrive(parent->child(lo))) ++lo;
    const QByteArray name = item->text(0).toUtf8();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (strcasecmp(parent->child(mid)->text(0).toUtf8().constData(), name.constData()) <= 0) lo = mid + 1;
        else hi = mid;
    }
    parent->insertChild(lo, item);
    if (parent->childIndicatorPolicy() == QTreeWidgetItem::DontShowIndicator)
        parent->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void CFilesTreeView::AddFolders(QTreeWidgetItem* parent, CVolume* volume,
                                const std::vector<std::pair<FoundObject*, bool>>& folders) {
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(folders.size()));
    for (const auto& [folder, hasChildren] : folders)
        if (!folders_.contains(folder)) items.push_back(MakeFolderItem(volume, folder, hasChildren));
    parent->addChildren(items);
}

void CFilesTreeView::Forget(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) Forget(item->child(i));
    if (IsDrive(item)) drives_.remove(VolumeOf(item));
    else folders_.remove(ObjectOf(item));
}

void CFilesTreeView::RemoveFolderChildren(QTreeWidgetItem* item) {
    QList<QTreeWidgetItem*> drop;
    for (int i = 0; i < item->childCount(); ++i)
        if (!IsDrive(item->child(i))) drop.push_back(item->child(i));
    for (QTreeWidgetItem* child : drop) {
        Forget(child);
        item->removeChild(child);
        delete child;
    }
}

void CFilesTreeView::RemoveItem(QTreeWidgetItem* item) {
    Forget(item);
    delete item;
}

bool CFilesTreeView::IsDrive(const QTreeWidgetItem* item) { return item && item->data(0, kIsDriveRole).toBool(); }

CVolume* CFilesTreeView::VolumeOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<CVolume*>(item->data(0, kVolumeRole).value<quintptr>()) : nullptr;
}

FoundObject* CFilesTreeView::ObjectOf(const QTreeWidgetItem* item) {
    if (!item || IsDrive(item)) return nullptr;
    return reinterpret_cast<FoundObject*>(item->data(0, kObjectRole).value<quintptr>());
}

void CFilesTreeView::UpdateImage(QTreeWidgetItem* item) {
    const FoundObject* folder = ObjectOf(item);
    CVolume* volume = VolumeOf(item);
    if (!folder || !volume) return;
    FoundObject record;
    if (volume->collection.CopyRecord(folder, record))
        item->setIcon(0, ImageIcon(ImageOf(record, volume->collection.rootId, item->isExpanded())));
}

void CFilesTreeView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Backspace) {
        emit BackspacePressed();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit EnterPressed();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CFilesTreeView::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    emit FocusGained();
}

void CFilesTreeView::contextMenuEvent(QContextMenuEvent* event) {
    emit ContextMenuAt(itemAt(event->pos()), event->globalPos());
}

}  // namespace vx
