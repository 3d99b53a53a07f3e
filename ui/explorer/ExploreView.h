#pragma once
// The explorer pane of the main window: drive tree, file list, search pane and
// the drive views, and the commands that act on the selected drive or objects.
// The main window routes every command it does not handle itself here.
#include <QWidget>

namespace vx {

class CVolume;
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

public slots:
    // Worker notifications, delivered on the user-interface thread.
    void OnCollectionChanged(vx::CVolume* volume, vx::FoundObject* object, int code);
    void OnVolumeAdded(vx::CVolume* volume, vx::CVolume* parent);

signals:
    // The newly selected object (null for a drive node or nothing).
    void ObjectSelected(const vx::FoundObject* object);
};

}  // namespace vx
