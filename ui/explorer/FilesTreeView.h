#pragma once
// The drive tree: the computer with its drives, each drive with the folders
// its analysis found. Folder items are inserted when their parent expands and
// removed when it collapses; the explorer decides which ones.
#include <QHash>
#include <QTreeWidget>

namespace vx {

class CVolume;
struct FoundObject;

class CFilesTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CFilesTreeView(QWidget* parent = nullptr);

    void ClearAll();
    // A drive node (computer and recycle-bin nodes included); first: as the
    // parent's first child.
    QTreeWidgetItem* AddDrive(QTreeWidgetItem* parent, CVolume* volume, bool first = false);
    // A folder node of `volume` under `parent`, in name order among its
    // siblings; `hasChildFolders` decides its expand button.
    QTreeWidgetItem* AddFolder(QTreeWidgetItem* parent, CVolume* volume, FoundObject* folder, bool hasChildFolders);
    // Many folders at once (already in name order).
    void AddFolders(QTreeWidgetItem* parent, CVolume* volume, const std::vector<std::pair<FoundObject*, bool>>& folders);
    // Removes the folder children of an item (drive children stay).
    void RemoveFolderChildren(QTreeWidgetItem* item);
    void RemoveItem(QTreeWidgetItem* item);

    QTreeWidgetItem* ItemOf(const FoundObject* folder) const { return folders_.value(folder); }
    QTreeWidgetItem* DriveItem(const CVolume* volume) const { return drives_.value(volume); }
    static bool IsDrive(const QTreeWidgetItem* item);
    static CVolume* VolumeOf(const QTreeWidgetItem* item);
    static FoundObject* ObjectOf(const QTreeWidgetItem* item);  // null for a drive node
    // Refreshes the picture of an item (open or closed folder).
    void UpdateImage(QTreeWidgetItem* item);
    size_t ItemCount() const { return size_t(folders_.size() + drives_.size()); }

signals:
    void FocusGained();
    void BackspacePressed();
    void EnterPressed();
    void ContextMenuAt(QTreeWidgetItem* item, const QPoint& globalPos);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Forget(QTreeWidgetItem* item);
    QTreeWidgetItem* MakeFolderItem(CVolume* volume, FoundObject* folder, bool hasChildFolders);

    QHash<const FoundObject*, QTreeWidgetItem*> folders_;
    QHash<const CVolume*, QTreeWidgetItem*> drives_;
};

}  // namespace vx
