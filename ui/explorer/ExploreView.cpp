#include "ui/explorer/ExploreView.h"

#include <strings.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "recovery/ProbableSize.h"
#include "recovery/RecoverList.h"
#include "recovery/RecoveryJob.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "ui/app/Commands.h"
#include "ui/explorer/FileInformationDlg.h"
#include "ui/explorer/FilesListView.h"
#include "ui/explorer/FilesTreeView.h"
#include "ui/explorer/FiltersView.h"
#include "ui/explorer/FindInFound.h"
#include "ui/explorer/SearchBarView.h"
#include "ui/recovery/DlgTryOpen.h"
#include "ui/recovery/ProbableSizeDlg.h"
#include "ui/recovery/RecoverDlg.h"
#include "ui/recovery/RecoveryProgressDlg.h"
#include "ui/images/ImageCommands.h"
#include "ui/drives/DriveViews.h"
#include "ui/drives/VolumeInfoView.h"

// The explorer's pictures live in a static library: register them once.
static void InitExplorerResources() { Q_INIT_RESOURCE(explorer); }

namespace vx {

namespace {

constexpr int kClearLastAnalysis = 57114;
constexpr size_t kIndicatorsAtOnce = 256;

bool IsTreeNodeVolume(const CVolume* v) {
    return v && (v->kind == VolumeKind::ComputerNode || v->kind == VolumeKind::RecycleBinNode);
}

QString SizeSummary(uint64_t bytes) {
    if (bytes >= (1ull << 30)) return QStringLiteral("%1 GB").arg(double(bytes) / double(1ull << 30), 0, 'f', 1);
    if (bytes >= (1ull << 20)) return QStringLiteral("%1 MB").arg(double(bytes) / double(1ull << 20), 0, 'f', 1);
    return QStringLiteral("%1 KB").arg(bytes / 1024);
}

}  // namespace

CExploreView::CExploreView(QWidget* parent) : QWidget(parent) {
    InitExplorerResources();
    // The notifications reach the explorer as queued calls carrying these.
    qRegisterMetaType<vx::CVolume*>("vx::CVolume*");
    qRegisterMetaType<vx::FoundObject*>("vx::FoundObject*");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    layout->addWidget(splitter_);
    left_ = new QStackedWidget(splitter_);
    right_ = new QStackedWidget(splitter_);
    tree_ = new CFilesTreeView(left_);
    list_ = new CFilesListView(false, right_);
    search_ = new CFindInFound(this);
    drivePane_ = new QLabel(right_);
    drivePane_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    drivePane_->setMargin(12);
    drivePane_->setWordWrap(true);
    drivePane_->setTextFormat(Qt::RichText);
    left_->addWidget(tree_);
    left_->addWidget(search_->Pane());
    right_->addWidget(list_);
    right_->addWidget(search_->Results());
    right_->addWidget(drivePane_);
    volumeInfo_ = new CVolumeInfoView(right_);
    myComputer_ = new CMyComputerView(right_);
    recycleBin_ = new CRecycleBinView(right_);
    right_->addWidget(volumeInfo_);
    right_->addWidget(myComputer_);
    right_->addWidget(recycleBin_);
    connect(myComputer_, &CMyComputerView::CommandRequested, this, &CExploreView::CommandRequested);
    splitter_->addWidget(left_);
    splitter_->addWidget(right_);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({200, 600});
    focused_ = tree_;
    filter_.Load();
    indicatorTimer_ = new QTimer(this);
    indicatorTimer_->setInterval(0);
    connect(indicatorTimer_, &QTimer::timeout, this, [this] { DecidePendingIndicators(); });

    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { OnTreeSelection(item); });
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { OnTreeExpanded(item); });
    connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { OnTreeCollapsed(item); });
    connect(tree_, &CFilesTreeView::FocusGained, this, [this] { focused_ = tree_; });
    connect(tree_, &CFilesTreeView::BackspacePressed, this, [this] { OnBackspace(); });
    connect(tree_, &CFilesTreeView::ContextMenuAt, this,
            [this](QTreeWidgetItem* item, const QPoint& at) { ShowContextMenu(true, item, at); });
    connect(list_, &CFilesListView::FocusGained, this, [this] { focused_ = list_; });
    connect(list_, &CFilesListView::EnterPressed, this, [this] { OnListEnter(); });
    connect(list_, &CFilesListView::ContextMenuAt, this,
            [this](const QPoint& at) { ShowContextMenu(false, nullptr, at); });
    connect(list_, &CFilesListView::CurrentObjectChanged, this, [this](FoundObject* object) {
        if (!object) return;
        current_ = object;
        emit ObjectSelected(object);
    });
    CFilesListView* results = search_->Results();
    connect(results, &CFilesListView::FocusGained, this, [this] { focused_ = search_->Results(); });
    connect(results, &CFilesListView::EnterPressed, this, [this] { OnResultEnter(); });
    connect(results, &CFilesListView::ContextMenuAt, this,
            [this](const QPoint& at) { ShowContextMenu(false, nullptr, at); });
    connect(results, &CFilesListView::CurrentObjectChanged, this, [this](FoundObject* object) {
        if (!object) return;
        current_ = object;
        emit ObjectSelected(object);
    });
    connect(search_->Form(), &CSearchBarView::SearchRequested, this,
            [this](const SearchCriteria& criteria) { search_->Start(shownVolume_, criteria); });
    connect(search_->Form(), &CSearchBarView::StopRequested, this, [this] {
        ShowView(2);
        search_->Stop();
    });
    connect(search_, &CFindInFound::CloseRequested, this, [this] { HideSearchPane(); });
    connect(search_, &CFindInFound::NothingFound, this, [this] {
        auto* box = new QMessageBox(QMessageBox::Information, tr("Search"), tr("No files found"), QMessageBox::Ok,
                                    window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });

    RebuildTree();
    ShowView(8, true);
}

CExploreView::~CExploreView() { search_->Stop(); }

// --- Views ------------------------------------------------------------------

void CExploreView::ShowView(int view, bool force) {
    if (view == 0) view = previousView_;
    if (view < 1 || view > 8) return;
    QWidget* right = view <= 2   ? static_cast<QWidget*>(list_)
                     : view == 3 ? static_cast<QWidget*>(search_->Results())
                     : view == 8 ? static_cast<QWidget*>(myComputer_)
                     : view == 7 ? static_cast<QWidget*>(recycleBin_)
                     : view == 4 || view == 5 ? static_cast<QWidget*>(volumeInfo_)
                                 : static_cast<QWidget*>(drivePane_);
    if (!force && right_->currentWidget() == right && view_ != 0) {
        if (view >= 4) UpdateDrivePane();
        return;
    }
    left_->setCurrentWidget(view == 3 ? search_->Pane() : static_cast<QWidget*>(tree_));
    right_->setCurrentWidget(right);
    previousView_ = view_;
    view_ = view;
    if (view >= 4) UpdateDrivePane();
}

void CExploreView::UpdateDrivePane() {
    switch (view_) {
        case 4:
        case 5: volumeInfo_->Show(selectedDrive_); return;
        case 7: recycleBin_->Fill(); return;
        case 8: return;
        default: break;
    }
    QString text;
    if (view_ == 8) {
        text = tr("<b>Computer</b><p>Select a drive or a drive image on the left, then choose Start Analyzing.</p>");
    } else if (view_ == 7) {
        text = tr("<b>Trash</b><p>Browsing the desktop's trash comes with a later version of Vornex.</p>");
    } else if (CVolume* v = selectedDrive_) {
        text = QStringLiteral("<b>%1</b><p>%2: %3<br>%4: %5</p>")
                   .arg(QString::fromStdString(v->DisplayName()).toHtmlEscaped(), tr("File system"),
                        QString::fromStdString(v->fileSystemName).toHtmlEscaped(), tr("Size"),
                        SizeSummary(v->totalBytes));
        text += tr("<p>The drive's information views come with a later version of Vornex. "
                   "Choose Start Analyzing to look for its files.</p>");
    }
    drivePane_->setText(text);
}

bool CExploreView::IsDriveSelected() const { return selectedDrive_ != nullptr; }
bool CExploreView::HasCurrentObject() const { return current_ != nullptr; }
bool CExploreView::IsSearchShown() const { return searchShown_; }

void CExploreView::HideSearchPane() {
    if (!searchShown_) return;
    searchShown_ = false;
    ShowView(0);
}

void CExploreView::OnToggleSearch() {
    searchShown_ = !searchShown_;
    if (searchShown_) ShowView(3);
    else ShowView(0);
}

void CExploreView::SetContextMenus(QMenu* fileMenu, QMenu* diskMenu) {
    fileMenu_ = fileMenu;
    diskMenu_ = diskMenu;
}

// --- Drive tree ---------------------------------------------------------------

void CExploreView::RebuildTree() {
    pendingIndicators_.clear();
    const QSignalBlocker block(tree_);
    tree_->ClearAll();
    CLocalComputer& computer = Computer();
    QTreeWidgetItem* top = tree_->AddDrive(nullptr, &computer.ComputerNode());
    tree_->AddDrive(nullptr, &computer.RecycleBinNode());
    const std::vector<CVolume*> volumes = computer.Volumes().Snapshot();
    for (CVolume* v : volumes)
        if (v->kind == VolumeKind::Physical) tree_->AddDrive(top, v);
    for (CVolume* v : volumes) {
        if (v->kind != VolumeKind::Logical) continue;
        QTreeWidgetItem* parent = top;
        for (CVolume* disk : volumes)
            if (disk->kind == VolumeKind::Physical && disk->deviceNumber.disk >= 0 &&
                disk->deviceNumber.disk == v->deviceNumber.disk)
                parent = tree_->DriveItem(disk);
        tree_->AddDrive(parent, v);
    }
    for (CVolume* v : volumes)
        if (v->kind == VolumeKind::Image || v->kind == VolumeKind::Virtual) tree_->AddDrive(top, v);
    // Found volumes below the drive that holds them (which may itself be found).
    for (bool added = true; added;) {
        added = false;
        for (CVolume* v : volumes) {
            if (v->kind != VolumeKind::Found || tree_->DriveItem(v)) continue;
            QTreeWidgetItem* parent = v->ParentVolume() ? tree_->DriveItem(v->ParentVolume()) : top;
            if (!parent && v->ParentVolume() && std::find(volumes.begin(), volumes.end(), v->ParentVolume()) != volumes.end())
                continue;  // its parent comes first
            tree_->AddDrive(parent ? parent : top, v);
            added = true;
        }
    }
    for (CVolume* v : volumes)
        if (QTreeWidgetItem* item = tree_->DriveItem(v))
            if (HasChildFolder(v, v->Id())) item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    top->setExpanded(true);
    tree_->setCurrentItem(top);
    listFolder_ = nullptr;
    current_ = nullptr;
    selectedDrive_ = nullptr;
}

bool CExploreView::HasChildFolder(CVolume* volume, int32_t id) const {
    std::vector<FoundObject*> children;
    volume->collection.ChildrenOf(id, children);
    if (children.empty()) return false;
    auto lock = volume->collection.ReadLock();
    return std::any_of(children.begin(), children.end(), [](const FoundObject* c) { return c->IsFolder(); });
}

void CExploreView::InsertChildren(QTreeWidgetItem* item) {
    CVolume* volume = CFilesTreeView::VolumeOf(item);
    if (!volume || IsTreeNodeVolume(volume)) return;
    const FoundObject* folder = CFilesTreeView::ObjectOf(item);
    int32_t id = volume->Id();
    if (folder) {
        FoundObject record;
        if (!volume->collection.CopyRecord(folder, record)) return;
        id = record.id;
    }
    std::vector<FoundObject*> children;
    volume->collection.ChildrenOf(id, children);
    struct Child {
        FoundObject* record;
        int32_t id;
        const char* name;
    };
    std::vector<Child> kept;
    {
        auto lock = volume->collection.ReadLock();
        const int32_t root = volume->collection.rootId.load();
        for (FoundObject* c : children)
            if (c->IsFolder() && !c->IsVolumeNode() && !filter_.LeavesOut(*c, root))
                kept.push_back({c, c->id, c->name ? c->name : "."});
    }
    std::sort(kept.begin(), kept.end(), [](const Child& a, const Child& b) { return strcasecmp(a.name, b.name) < 0; });
    // Expand buttons: decided now for the first items (those on screen), for
    // the rest in idle batches, so a folder of thousands opens at once.
    std::vector<std::pair<FoundObject*, bool>> folders;
    folders.reserve(kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        const bool now = i < kIndicatorsAtOnce;
        folders.emplace_back(kept[i].record, now ? HasChildFolder(volume, kept[i].id) : true);
        if (!now) pendingIndicators_.push_back({volume, kept[i].record, kept[i].id});
    }
    tree_->AddFolders(item, volume, folders);
    if (!pendingIndicators_.empty()) indicatorTimer_->start();
}

void CExploreView::DecidePendingIndicators() {
    size_t done = 0;
    while (!pendingIndicators_.empty() && done++ < kIndicatorsAtOnce) {
        const PendingIndicator p = pendingIndicators_.front();
        pendingIndicators_.pop_front();
        QTreeWidgetItem* item = tree_->ItemOf(p.folder);
        if (!item || CFilesTreeView::VolumeOf(item) != p.volume || item->isExpanded()) continue;
        if (!HasChildFolder(p.volume, p.id)) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    }
    if (pendingIndicators_.empty()) indicatorTimer_->stop();
}

void CExploreView::OnTreeExpanded(QTreeWidgetItem* item) {
    if (CFilesTreeView::IsDrive(item) && CFilesTreeView::VolumeOf(item)->kind == VolumeKind::ComputerNode) return;
    InsertChildren(item);
    tree_->UpdateImage(item);
}

void CExploreView::OnTreeCollapsed(QTreeWidgetItem* item) {
    if (CFilesTreeView::IsDrive(item) && CFilesTreeView::VolumeOf(item)->kind == VolumeKind::ComputerNode) {
        item->setExpanded(true);  // the computer node stays open
        return;
    }
    const bool selectedBelow = [&] {
        for (QTreeWidgetItem* i = tree_->currentItem(); i; i = i->parent())
            if (i == item) return true;
        return false;
    }();
    if (selectedBelow && tree_->currentItem() != item) {
        const QSignalBlocker block(tree_);
        tree_->setCurrentItem(item);
    }
    tree_->RemoveFolderChildren(item);
    tree_->UpdateImage(item);
    if (selectedBelow) OnTreeSelection(item);
}

QTreeWidgetItem* CExploreView::EnsureFolderNode(QTreeWidgetItem* parent, CVolume* volume, FoundObject* folder) {
    if (QTreeWidgetItem* item = tree_->ItemOf(folder)) return item;
    if (!parent->isExpanded()) {
        parent->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        return nullptr;
    }
    FoundObject record;
    if (!volume->collection.CopyRecord(folder, record)) return nullptr;
    if (filter_.LeavesOut(record, volume->collection.rootId)) return nullptr;
    return tree_->AddFolder(parent, volume, folder, HasChildFolder(volume, record.id));
}

void CExploreView::OnTreeSelection(QTreeWidgetItem* item) {
    selectedDrive_ = nullptr;
    if (!item) return;
    CVolume* volume = CFilesTreeView::VolumeOf(item);
    if (CFilesTreeView::IsDrive(item)) {
        current_ = nullptr;
        int view = 1;
        switch (volume->kind) {
            case VolumeKind::Physical: selectedDrive_ = volume; view = 4; break;
            case VolumeKind::Logical:
            case VolumeKind::Image:
            case VolumeKind::Found:
            case VolumeKind::Virtual: selectedDrive_ = volume; view = 5; break;
            case VolumeKind::ComputerNode: view = 8; break;
            case VolumeKind::RecycleBinNode: view = 7; break;
        }
        if (!searchShown_) ShowView(view, true);
        else previousView_ = view;
        emit ObjectSelected(nullptr);
        return;
    }
    FoundObject* folder = CFilesTreeView::ObjectOf(item);
    current_ = folder;
    shownVolume_ = volume;
    if (!searchShown_) ShowView(2);
    else previousView_ = 2;
    emit ObjectSelected(folder);
    if (!list_->Model().busy) FillList(volume, folder);
}

void CExploreView::FillList(CVolume* volume, FoundObject* folder) {
    CFilesListModel& model = list_->Model();
    model.Clear();
    pendingGroups_.clear();
    model.SetVolume(volume);
    listFolder_ = folder;
    FoundObject record;
    if (!volume->collection.CopyRecord(folder, record)) return;
    model.busy = true;
    std::vector<FoundObject*> children;
    volume->collection.ChildrenOf(record.id, children);
    model.Append(children);
    model.busy = false;
    list_->Refresh();
}

// --- Live updates -------------------------------------------------------------

void CExploreView::OnCollectionChanged(CVolume* volume, FoundObject* object, int code) {
    if (!volume || !object || code == kSeenAgain) return;
    QTreeWidgetItem* driveItem = tree_->DriveItem(volume);
    if (!driveItem) return;
    CFoundObjectList& collection = volume->collection;
    FoundObject record;
    if (!collection.CopyRecord(object, record)) return;

    auto showRoot = [&] {
        if (!pendingShowRoot_ || volume != analysedVolume_) return;
        pendingShowRoot_ = false;
        driveItem->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        driveItem->setExpanded(true);
        if (pendingSelectRoot_) {
            pendingSelectRoot_ = false;
            if (FoundObject* root = collection.FindFolder(collection.rootId))
                if (QTreeWidgetItem* rootItem = tree_->ItemOf(root)) {
                    rootItem->setExpanded(true);
                    tree_->setCurrentItem(rootItem);
                }
        }
    };

    switch (code) {
        case kObjectAdded: {
            showRoot();
            if (record.IsFolder()) {
                FoundObject* parent = collection.FindFolder(record.parent);
                QTreeWidgetItem* parentItem = parent ? tree_->ItemOf(parent)
                                              : record.parent == volume->Id() ? driveItem : nullptr;
                if (parentItem) EnsureFolderNode(parentItem, volume, object);
            }
            if (listFolder_ && list_->Model().Volume() == volume) {
                FoundObject shown;
                if (collection.CopyRecord(listFolder_, shown) && shown.id == record.parent) list_->Model().Append(object);
            }
            break;
        }
        case kLostFileAdded: {
            showRoot();
            FoundObject* lostFiles = collection.LostFilesRoot();
            QTreeWidgetItem* lostItem = tree_->ItemOf(lostFiles);
            if (pendingLostFiles_ && volume == analysedVolume_) {
                pendingLostFiles_ = false;
                driveItem->setExpanded(true);
                lostItem = tree_->ItemOf(lostFiles);
                if (!lostItem) lostItem = tree_->AddFolder(driveItem, volume, lostFiles, true);
                lostItem->setExpanded(true);
                tree_->setCurrentItem(lostItem);
            }
            FoundObject* group = collection.FindFolder(record.parent);
            if (lostItem && group) EnsureFolderNode(lostItem, volume, group);
            if (listFolder_ && list_->Model().Volume() == volume) {
                // "Lost files" lists the group folders: only a new group changes it.
                if (listFolder_ == lostFiles && group && list_->Model().RowOf(group) < 0 &&
                    std::find(pendingGroups_.begin(), pendingGroups_.end(), group) == pendingGroups_.end()) {
                    pendingGroups_.push_back(group);
                    list_->Model().Append(group);
                } else if (listFolder_ == group) {
                    list_->Model().Append(object);
                }
            }
            break;
        }
        case kLostFolderCreated: {
            FoundObject* lostFolders = collection.LostFoldersRoot();
            QTreeWidgetItem* lostItem = tree_->ItemOf(lostFolders);
            if (!lostItem && driveItem->isExpanded())
                lostItem = tree_->AddFolder(driveItem, volume, lostFolders, true);
            if (!lostItem) driveItem->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
            if (lostItem) EnsureFolderNode(lostItem, volume, object);
            if (listFolder_ == lostFolders && list_->Model().Volume() == volume) list_->Model().Append(object);
            break;
        }
        case kPlaceholderReplaced: {
            if (QTreeWidgetItem* item = tree_->ItemOf(object)) {
                if (tree_->currentItem() == item || (tree_->currentItem() && tree_->currentItem()->parent() == item))
                    tree_->setCurrentItem(item->parent());
                tree_->RemoveItem(item);
            }
            if (listFolder_ == collection.LostFoldersRootIfAny() && list_->Model().Volume() == volume)
                FillList(volume, listFolder_);
            break;
        }
        default:
            break;
    }
}

void CExploreView::OnVolumeAdded(CVolume* volume, CVolume* parent) {
    if (!volume || tree_->DriveItem(volume)) return;
    QTreeWidgetItem* parentItem = parent ? tree_->DriveItem(parent) : nullptr;
    if (!parentItem) parentItem = tree_->DriveItem(&Computer().ComputerNode());
    tree_->AddDrive(parentItem, volume, true);
}

// --- Timers -------------------------------------------------------------------

void CExploreView::OnIdle() {}

void CExploreView::OnTimer250() {
    list_->Refresh();
    search_->OnTimer();
}

void CExploreView::OnTimer2000() {
    if (!TheAnalysisState().Running()) return;
    tree_->viewport()->update();
    list_->viewport()->update();
}

// --- Keyboard and menus ---------------------------------------------------------

void CExploreView::OnListEnter() {
    FoundObject* first = list_->FirstSelected();
    if (!first) return;
    FoundObject record;
    CVolume* volume = list_->Model().Volume();
    if (!volume || !volume->collection.CopyRecord(first, record)) return;
    if (record.IsFolder()) {
        if (QTreeWidgetItem* selected = tree_->currentItem()) selected->setExpanded(true);
        if (QTreeWidgetItem* item = tree_->ItemOf(first)) {
            tree_->setCurrentItem(item);
            item->setExpanded(true);
        }
        return;
    }
    QMetaObject::invokeMethod(this, [this] { OnCommand(ID_FILE_TRY_OPEN); }, Qt::QueuedConnection);
}

void CExploreView::OnResultEnter() {
    FoundObject* first = search_->Results()->FirstSelected();
    CVolume* volume = search_->Results()->Model().Volume();
    if (!first || !volume) return;
    searchShown_ = false;
    ShowView(2);
    RevealObject(volume, first);
}

bool CExploreView::RevealObject(CVolume* volume, FoundObject* object) {
    QTreeWidgetItem* driveItem = tree_->DriveItem(volume);
    if (!driveItem || !object) return false;
    // The folders from the drive's node down to the object's folder.
    std::vector<FoundObject*> chain;
    FoundObject record;
    if (!volume->collection.CopyRecord(object, record)) return false;
    const bool isFolder = record.IsFolder();
    int32_t parent = isFolder ? record.id : record.parent;
    FoundObject* folder = isFolder ? object : volume->collection.FindFolder(parent);
    for (FoundObject* f = folder; f && chain.size() < 4096;) {
        chain.push_back(f);
        FoundObject r;
        if (!volume->collection.CopyRecord(f, r) || r.parent == volume->Id() || r.parent == r.id) break;
        f = volume->collection.FindFolder(r.parent);
    }
    std::reverse(chain.begin(), chain.end());
    driveItem->setExpanded(true);
    QTreeWidgetItem* item = driveItem;
    for (FoundObject* f : chain) {
        QTreeWidgetItem* next = tree_->ItemOf(f);
        if (!next) {
            item->setExpanded(true);
            next = tree_->ItemOf(f);
        }
        if (!next) return false;
        item = next;
        if (f != chain.back()) item->setExpanded(true);
    }
    tree_->setCurrentItem(item);
    if (!isFolder) list_->SelectObject(object);
    return true;
}

void CExploreView::OnBackspace() {
    if (view_ == 3) return;
    QTreeWidgetItem* item = tree_->currentItem();
    if (item && item->parent()) tree_->setCurrentItem(item->parent());
}

void CExploreView::ShowContextMenu(bool tree, QTreeWidgetItem* item, const QPoint& at) {
    bool drive = false;
    if (tree) {
        if (!item) return;
        CVolume* volume = CFilesTreeView::VolumeOf(item);
        if (CFilesTreeView::IsDrive(item) && IsTreeNodeVolume(volume)) return;
        drive = CFilesTreeView::IsDrive(item);
        if (tree_->currentItem() != item) tree_->setCurrentItem(item);
        focused_ = tree_;
    }
    QMenu* given = drive ? diskMenu_ : fileMenu_;
    if (given) {
        given->exec(at);
        return;
    }
    QMenu menu(this);
    auto add = [&](const QString& text, int id) {
        menu.addAction(text, this, [this, id] { OnCommand(id); });
    };
    if (drive) {
        add(tr("Start Analyzing"), ID_DISK_START_ANALYZING);
        add(tr("Stop Analyzing"), ID_DISK_STOP_ANALYZING);
        menu.addSeparator();
        add(tr("Search Lost Drives"), ID_DISK_SEARCH_LOST);
        add(tr("Load Drive Image..."), ID_DISK_LOAD_IMAGE);
    } else {
        add(tr("Recover...\tCtrl+R"), ID_FILE_RECOVER);
        add(tr("Try To Open..."), ID_FILE_TRY_OPEN);
        menu.addSeparator();
        add(tr("Reset Size"), ID_FILE_RESET_SIZE);
        add(tr("Set New Size..."), ID_FILE_SET_NEW_SIZE);
        menu.addSeparator();
        add(tr("Information"), ID_FILE_INFORMATION);
    }
    menu.exec(at);
}

// --- Commands -------------------------------------------------------------------

bool CExploreView::OnCommand(int id) {
    switch (id) {
        case ID_DISK_START_ANALYZING: OnStartAnalyzing(); return true;
        case ID_DISK_STOP_ANALYZING: OnStopAnalyzing(); return true;
        case ID_DISK_LOAD_IMAGE: OnLoadDriveImage(); return true;
        case ID_DISK_CREATE_IMAGE:
            if (selectedDrive_ && CreateDriveImage(window(), *selectedDrive_)) {
                RebuildTree();
                if (CVolume* image = Computer().Volumes().Count() ? Computer().Volumes().Snapshot().back() : nullptr)
                    SelectDrive(image);
            }
            return true;
        case ID_DISK_CREATE_VIRTUAL:
            if (selectedDrive_ && CreateVirtualDrive(window(), *selectedDrive_)) RebuildTree();
            return true;
        case ID_DISK_SEARCH_LOST: OnSearchLostDrives(); return true;
        case ID_FILE_RECOVER: OnRecover(); return true;
        case ID_FILE_TRY_OPEN: OnTryOpen(); return true;
        case ID_FILE_RESET_SIZE: OnResetSize(); return true;
        case ID_FILE_SET_NEW_SIZE: OnSetNewSize(); return true;
        case ID_FILE_INFORMATION: OnInformation(); return true;
        case ID_VIEW_SEARCH: OnToggleSearch(); return true;
        case ID_VIEW_FILTERS: OnFilters(); return true;
        default: return false;
    }
}

void CExploreView::OnStartAnalyzing() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (!CFilesTreeView::IsDrive(item)) return;
    CVolume* volume = CFilesTreeView::VolumeOf(item);
    if (IsTreeNodeVolume(volume) || AnalysisController().IsAnalysing(volume)) return;
    QFont font = item->font(0);
    font.setBold(false);
    item->setFont(0, font);
    // Deliver what the last analysis posted while its records still exist.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    search_->Forget();
    list_->Model().Clear();
    listFolder_ = nullptr;
    if (tree_->ItemCount() > 0) {
        EventLog().ShowStatus(kClearLastAnalysis, 0);
        pendingShowRoot_ = pendingSelectRoot_ = pendingLostFiles_ = true;
    }
    RebuildTree();
    SelectDrive(volume);
    shownVolume_ = volume;
    analysedVolume_ = volume;
    list_->Model().SetVolume(volume);
    AnalysisController().StartAnalysis(volume);
    if (QTreeWidgetItem* node = tree_->DriveItem(volume)) {
        font.setBold(true);
        node->setFont(0, font);
    }
}

void CExploreView::OnStopAnalyzing() {
    CVolume* volume = analysedVolume_ ? analysedVolume_ : shownVolume_;
    EventLog().ShowStatus(str::Aborting, 0);
    if (volume) AnalysisController().StopAnalysis(volume, false);
    EventLog().LogResource(str::OperationAborted);
}

bool CExploreView::SelectDrive(CVolume* volume) {
    QTreeWidgetItem* item = tree_->DriveItem(volume);
    if (!item) return false;
    if (tree_->currentItem() == item) OnTreeSelection(item);
    else tree_->setCurrentItem(item);
    return true;
}

void CExploreView::SelectVolume(CVolume* volume) {
    if (!tree_->DriveItem(volume)) RebuildTree();
    SelectDrive(volume);
}

CVolume* CExploreView::LoadDriveImage(const QString& path) {
    CVolume* volume = Computer().LoadImage(path.toStdString());
    if (!volume) {
        EventLog().LogError("Can't open drive image %s", path.toUtf8().constData());
        return nullptr;
    }
    RebuildTree();
    SelectDrive(volume);
    return volume;
}

void CExploreView::OnLoadDriveImage() {
    QFileDialog dialog(window(), tr("Load Drive Image"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({tr("Drive Image Files ( *.dsk ) (*.dsk)"), tr("All Files ( *.* ) (*)")});
    dialog.setDefaultSuffix(QStringLiteral("dsk"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    LoadDriveImage(dialog.selectedFiles().front());
}

void CExploreView::OnSearchLostDrives() {
    if (!selectedDrive_) return;
    if (!Computer().SearchLostDisks(*selectedDrive_))
        EventLog().LogError("The drive %s is being analysed: search for lost drives later.",
                            selectedDrive_->DisplayName().c_str());
}

std::vector<FoundObject*> CExploreView::CollectSelection(CVolume** volumeOut) const {
    std::vector<FoundObject*> out;
    CVolume* volume = nullptr;
    if (focused_ == list_ || focused_ == search_->Results()) {
        auto* view = static_cast<CFilesListView*>(focused_);
        volume = view->Model().Volume();
        if (volume) out = BuildRecoverList(volume->collection, view->SelectedObjects());
    } else {
        QTreeWidgetItem* item = tree_->currentItem();
        FoundObject* folder = CFilesTreeView::ObjectOf(item);
        volume = CFilesTreeView::VolumeOf(item);
        if (folder && volume) out = BuildRecoverListFromTree(volume->collection, folder);
    }
    if (volumeOut) *volumeOut = volume;
    return out;
}

void CExploreView::OnRecover() {
    CVolume* volume = nullptr;
    if (CollectSelection(&volume).empty() || !volume) return;
    COnRecoveryDlg dialog(volume, window());
    connect(&dialog, &COnRecoveryDlg::HelpRequested, this, [this] { emit CommandRequested(ID_HELP_CONTENTS); });
    if (dialog.exec() == QDialog::Accepted)
        QMetaObject::invokeMethod(this, [this] { StartRecovery(); }, Qt::QueuedConnection);
}

void CExploreView::StartRecovery() {
    EventLog().LogText("Recover started.");
    EventLog().LogText("Creating recover list.");
    CRecoveryJob& job = RecoveryJob();
    if (job.Running()) return;
    CVolume* volume = nullptr;
    job.objects = CollectSelection(&volume);
    if (job.objects.empty() || !volume) {
        EventLog().LogError("Recovery list is empty!");
        return;
    }
    const int count = int(job.objects.size());
    if (!job.StartRecovery(volume)) return;
    CRecoveryProgressDlg progress(job, count, CRecoveryProgressDlg::kRecovery, window());
    progress.exec();
}

void CExploreView::OnTryOpen() {
    CRecoveryJob& job = TryOpenJob();
    if (job.Running()) return;
    CVolume* volume = nullptr;
    std::vector<FoundObject*> list = CollectSelection(&volume);
    if (list.empty() || !volume) return;
    if (!Settings().Flag(settings_offset::SuppressTryOpenWarning)) {
        CDlgTryOpen warning(window());
        if (warning.exec() != QDialog::Accepted) return;
    }
    job.objects = std::move(list);
    const int count = int(job.objects.size());
    if (!job.StartTryOpen(volume)) return;
    CRecoveryProgressDlg progress(job, count, CRecoveryProgressDlg::kTryOpen, window());
    progress.exec();
}

void CExploreView::OnResetSize() {
    for (FoundObject* object : CollectSelection())
        if (!object->IsFolder()) object->size = kSizeUnknown;
    list_->viewport()->update();
    search_->Results()->viewport()->update();
}

void CExploreView::OnSetNewSize() {
    CVolume* volume = nullptr;
    const std::vector<FoundObject*> list = CollectSelection(&volume);
    if (list.empty() || !volume) return;
    const CProbableSizes sizes(*volume);
    CProbableFileSizeDlg dialog(*list.front(), sizes.Question(*list.front()), window());
    if (dialog.exec() != kSizeOk) return;
    const ProbableSizeAnswer answer = dialog.Answer();
    // Each listed file gets the size the chosen rule gives it.
    for (FoundObject* object : list)
        if (!object->IsFolder()) object->size = sizes.Size(*object, answer.rule, answer.customSize);
    list_->viewport()->update();
    search_->Results()->viewport()->update();
}

void CExploreView::OnInformation() {
    if (!current_) return;
    CVolume* volume = focused_ == search_->Results() ? search_->Results()->Model().Volume() : shownVolume_;
    FoundObject record;
    if (!volume || !volume->collection.CopyRecord(current_, record)) return;
    CFileInformationViewDlg dialog(*volume, record, window());
    dialog.exec();
}

void CExploreView::OnFilters() {
    CFiltersView sheet(filter_, window());
    sheet.exec();
}

}  // namespace vx
