#pragma once
// The main window: menu bar, toolbar, the explorer above the legend (or the
// data viewer) in two splitters, and the status bar with its status pane,
// progress bar, log list and "..." button. It handles the window's own
// commands and hands every other one to the explorer; command states are
// recomputed in the idle pass.
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>

#include "ui/app/AnalysisProgress.h"
#include "ui/app/CommandStates.h"

class QAction;
class QLabel;
class QProgressBar;
class QSplitter;
class QToolBar;
class QToolButton;

namespace vx {

class CDeviceEvents;
class CExploreView;
class CLegend_Pane;
class CLogView;
class CUiNotifier;
class CVerticalCaptionPane;
class CHexViewer_Pane;
class CVolume;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // `mode`: 32839 (legend below the explorer) or 32841/32842 (data viewer).
    CMainFrame(CUiNotifier& notifier, int mode, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Runs a command: the window's own, else the explorer's. False when no
    // one handled it.
    bool OnCommand(int id);
    // The idle pass: check marks, enabling rules, the explorer's idle pass,
    // the status and progress step, and the start-up work of the first pass.
    void OnIdle();
    void OnTimer250();
    void OnTimer2000();
    void ArrangePanes();

    // Selects this volume once the first drive scan has rebuilt the tree.
    void SelectAfterRescan(CVolume* volume);

    // What tests and the screenshot run look at.
    CExploreView* Explorer() const { return explorer_; }
    CHexViewer_Pane* DataViewer() const { return dataViewer_; }
    CLogView* LogList() const { return log_; }
    QProgressBar* ProgressBar() const { return progress_; }
    QLabel* StatusPane() const { return statusPane_; }
    QToolBar* ToolBar() const { return toolbar_; }
    QWidget* LegendPane() const;
    QAction* Action(int id) const;
    const CCommandStates& States() const { return states_; }
    int Mode() const { return mode_; }

signals:
    // Any command or notification after which the idle pass should run.
    void IdleWanted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreatePanes();
    void ConnectNotifier();
    void StatusAndProgressStep();
    void SetProgressShown(bool shown);
    void RescanDrives();
    // The settings sheet on the page of an Options command.
    void OpenSettings(int command);
    void ApplyLegend();
    void OnStatusText(int stringId);
    void OnAnalysisFinished();
    void ExitStopAnalysis();

    CUiNotifier& notifier_;
    int mode_;
    CCommandStates states_;
    std::map<int, QAction*> actions_;
    QToolBar* toolbar_ = nullptr;
    QSplitter* outer_ = nullptr;
    QSplitter* inner_ = nullptr;
    CExploreView* explorer_ = nullptr;
    CLegend_Pane* legend_ = nullptr;
    CVerticalCaptionPane* viewer_ = nullptr;
    CHexViewer_Pane* dataViewer_ = nullptr;  // inside viewer_
    QLabel* statusPane_ = nullptr;
    QProgressBar* progress_ = nullptr;
    CLogView* log_ = nullptr;
    QToolButton* more_ = nullptr;
    QTimer timer250_, timer2000_;
    CAnalysisProgress progressModel_;
    std::unique_ptr<CDeviceEvents> devices_;
    CVolume* selectAfterRescan_ = nullptr;
};

}  // namespace vx
