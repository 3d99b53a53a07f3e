#include "ui/settings/SearchFileTypeTreeView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

#include "common/Strings.h"
#include "signatures/FileTypeDatabase.h"

namespace vx {

namespace {
constexpr int kTypeRole = Qt::UserRole + 1;
constexpr int kGroupRole = Qt::UserRole + 2;
QString S(int id) { return QString::fromUtf8(LoadString(id)); }
}  // namespace

CSearchFileTypeTreeView::CSearchFileTypeTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (FileType* type = TypeOf(item)) emit PropertiesRequested(type);
    });
}

FileType* CSearchFileTypeTreeView::TypeOf(const QTreeWidgetItem* item) {
    return item ? static_cast<FileType*>(item->data(0, kTypeRole).value<void*>()) : nullptr;
}

void CSearchFileTypeTreeView::Load() {
    clear();
    FileTypeDatabase& db = FileTypes();
    db.EnsureLoaded();
    const std::vector<FileType*> types = db.Types();
    for (const FileType* group : db.Groups()) {
        auto* groupItem = new QTreeWidgetItem(this, {QString::fromStdString(group->DisplayName())});
        groupItem->setData(0, kGroupRole, group->GroupId());
        groupItem->setFlags(groupItem->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        bool any = false;
        for (FileType* type : types) {
            if (type->IsGroup() || !type->Listed() || type->GroupId() != group->GroupId()) continue;
            QString text = QString::fromStdString(type->DisplayName());
            const std::string extensions = type->Extensions();
            if (!extensions.empty()) text += QStringLiteral(" (%1)").arg(QString::fromStdString(extensions));
            auto* item = new QTreeWidgetItem(groupItem, {text});
            item->setData(0, kTypeRole, QVariant::fromValue(static_cast<void*>(type)));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, type->SearchFlag() ? Qt::Checked : Qt::Unchecked);
            any = true;
        }
        // A group without formats ("E-mail") stays, unchecked.
        if (!any) groupItem->setCheckState(0, Qt::Unchecked);
    }
}

void CSearchFileTypeTreeView::Apply() const {
    for (int g = 0; g < topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i)
            if (FileType* type = TypeOf(group->child(i)))
                type->SetSearchFlag(group->child(i)->checkState(0) == Qt::Checked);
    }
}

void CSearchFileTypeTreeView::SetAll(bool checked) {
    for (int g = 0; g < topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) group->child(i)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        if (group->childCount() == 0) group->setCheckState(0, Qt::Unchecked);
    }
}

QTreeWidgetItem* CSearchFileTypeTreeView::ItemOf(const FileType* type) const {
    for (int g = 0; g < topLevelItemCount(); ++g)
        for (int i = 0; i < topLevelItem(g)->childCount(); ++i)
            if (TypeOf(topLevelItem(g)->child(i)) == type) return topLevelItem(g)->child(i);
    return nullptr;
}

QTreeWidgetItem* CSearchFileTypeTreeView::GroupItem(int32_t groupId) const {
    for (int g = 0; g < topLevelItemCount(); ++g)
        if (topLevelItem(g)->data(0, kGroupRole).toInt() == groupId) return topLevelItem(g);
    return nullptr;
}

void CSearchFileTypeTreeView::contextMenuEvent(QContextMenuEvent* event) {
    FileType* type = TypeOf(itemAt(viewport()->mapFromGlobal(event->globalPos())));
    QMenu menu(this);
    menu.addAction(S(str::CheckAll), this, [this] { SetAll(true); });
    menu.addAction(S(str::UncheckAll), this, [this] { SetAll(false); });
    menu.addAction(S(str::RestoreDefaults), this, [this] { SetAll(true); });
    QAction* properties = menu.addAction(S(str::PropertiesMenu), this, [this, type] { emit PropertiesRequested(type); });
    properties->setEnabled(type != nullptr);
    menu.exec(event->globalPos());
}

}  // namespace vx
