#pragma once
// The explorer pane of the main window: drive tree, file list, search pane and
// the drive views, and the commands that act on the selected drive or objects.
// The main window routes every command it does not handle itself here.
#include <QWidget>
#include <deque>
#include <vector>

#include "ui/explorer/ExplorerFilter.h"

class QLabel;
class QMenu;
class QSplitter;
class QStackedWidget;
class QTimer;
class QTreeWidgetItem;

namespace vx {

class CVolume;
class CFilesListView;
class CFilesTreeView;
class CFindInFound;
struct FoundObject;

class CExploreView : public QWidget {
    Q_OBJECT
public:
    explicit CExploreView(QWidget* parent = nullptr);
    ~CExploreView() override;

    // A command the main window does not handle; false when it is not ours.
    bool OnCommand(int id);

    // What the main window's command rules read.
    bool IsDriveSelected() const;   // a drive (not a found object) is selected in the tree
    bool HasCurrentObject() const;  // a found object is current
    bool IsSearchShown() const;

    void OnIdle();        // the explorer's own idle pass
    void OnTimer250();    // search pane and file list refresh themselves
    void OnTimer2000();   // repaint tree and list while an analysis runs

    void ShowView(int view, bool force = false);
    void RebuildTree();
    // Selects a volume's node in the drive tree (an image named on the command line).
    void SelectVolume(vx::CVolume* volume);
    void OnStopAnalyzing();
    void HideSearchPane();

    // The menus the tree and the list show on a right click (the main
    // window's File and Disk menus); without them the explorer builds its own.
    void SetContextMenus(QMenu* fileMenu, QMenu* diskMenu);

    // --- What the commands do, callable without their dialogs --------------
    // Adds an image file to the drive list, rebuilds the tree and selects it.
    CVolume* LoadDriveImage(const QString& path);
    // Selects a drive's node (null when it is not in the tree).
    bool SelectDrive(CVolume* volume);
    // Opens the tree down to the folder of `object`, selects the folder and
    // then the object's row in the file list (a folder: selects its node).
    bool RevealObject(CVolume* volume, FoundObject* object);
    // The recover list of the view that last had the focus.
    std::vector<FoundObject*> CollectSelection(CVolume** volume = nullptr) const;
    // WM_START_RECOVERY: builds the list and runs the recovery job with its
    // progress dialog.
    void StartRecovery();

    // The parts, for the main window, the tests and the screenshots.
    CFilesTreeView* Tree() const { return tree_; }
    CFilesListView* List() const { return list_; }
    CFindInFound* Search() const { return search_; }
    CExplorerFilter& Filter() { return filter_; }
    int CurrentView() const { return view_; }
    FoundObject* CurrentObject() const { return current_; }
    CVolume* SelectedDrive() const { return selectedDrive_; }
    CVolume* ShownVolume() const { return shownVolume_; }
    QWidget* FocusedView() const { return focused_; }
    void SetFocusedView(QWidget* view) { focused_ = view; }

public slots:
    // Worker notifications, delivered on the user-interface thread.
    void OnCollectionChanged(vx::CVolume* volume, vx::FoundObject* object, int code);
    void OnVolumeAdded(vx::CVolume* volume, vx::CVolume* parent);

signals:
    // The newly selected object (null for a drive node or nothing).
    void ObjectSelected(const vx::FoundObject* object);
    // A command for the main window (the Recover dialog's Help).
    void CommandRequested(int id);

private:
    void OnTreeSelection(QTreeWidgetItem* item);
    void OnTreeExpanded(QTreeWidgetItem* item);
    void OnTreeCollapsed(QTreeWidgetItem* item);
    void InsertChildren(QTreeWidgetItem* item);
    bool HasChildFolder(CVolume* volume, int32_t id) const;
    void DecidePendingIndicators();
    QTreeWidgetItem* EnsureFolderNode(QTreeWidgetItem* parent, CVolume* volume, FoundObject* folder);
    void FillList(CVolume* volume, FoundObject* folder);
    void OnListEnter();
    void OnResultEnter();
    void OnBackspace();
    void ShowContextMenu(bool tree, QTreeWidgetItem* item, const QPoint& at);
    void UpdateDrivePane();

    void OnStartAnalyzing();
    void OnLoadDriveImage();
    void OnSearchLostDrives();
    void OnRecover();
    void OnTryOpen();
    void OnResetSize();
    void OnSetNewSize();
    void OnInformation();
    void OnFilters();
    void OnToggleSearch();

    QSplitter* splitter_;
    QStackedWidget* left_;
    QStackedWidget* right_;
    CFilesTreeView* tree_;
    CFilesListView* list_;
    CFindInFound* search_;
    QLabel* drivePane_;
    class CVolumeInfoView* volumeInfo_;    // views 4 and 5
    class CRecycleBinView* recycleBin_;    // view 7
    class CMyComputerView* myComputer_;    // view 8
    QMenu* fileMenu_ = nullptr;
    QMenu* diskMenu_ = nullptr;

    int view_ = 0;
    int previousView_ = 0;
    FoundObject* current_ = nullptr;
    QWidget* focused_ = nullptr;
    bool searchShown_ = false;
    bool pendingShowRoot_ = false;
    bool pendingSelectRoot_ = false;
    bool pendingLostFiles_ = false;
    CVolume* selectedDrive_ = nullptr;
    CVolume* shownVolume_ = nullptr;     // the drive whose folders the list shows
    CVolume* analysedVolume_ = nullptr;  // the drive whose analysis this view started
    FoundObject* listFolder_ = nullptr;  // the folder the file list shows
    std::vector<FoundObject*> pendingGroups_;  // group folders appended to "Lost files" since its fill
    CExplorerFilter filter_;

    // Folders inserted with an expand button still to be checked.
    struct PendingIndicator {
        CVolume* volume;
        FoundObject* folder;
        int32_t id;
    };
    std::deque<PendingIndicator> pendingIndicators_;
    QTimer* indicatorTimer_ = nullptr;
};

}  // namespace vx
