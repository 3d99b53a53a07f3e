#include "ui/app/MainFrame.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "device/VolumesList.h"
#include "fs/Analysis.h"
#include "recovery/RecoveryJob.h"
#include "platform/DeviceEvents.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "ui/app/App.h"
#include "ui/app/CommandTable.h"
#include "ui/app/Commands.h"
#include "ui/app/HelpWindow.h"
#include "ui/app/Icons.h"
#include "ui/app/UiNotifier.h"
#include "ui/explorer/ExploreView.h"
#include "ui/log/LegendPane.h"
#include "ui/log/LogView.h"

namespace vx {

namespace {
constexpr int kStatusPaneWidth = 250;
// Wide enough for "100%  512.3 MB/s  1:02:03 left".
constexpr int kProgressPaneWidth = 280;
// The explorer's "My Computer" view.
constexpr int kMyComputerView = 8;
// Commands whose 16x16 image shows in the menu.
constexpr int kMenuIcons[] = {ID_DISK_START_ANALYZING, ID_DISK_STOP_ANALYZING, ID_FILE_RECOVER, ID_VIEW_SEARCH,
                              ID_OPTIONS_SETTINGS,     ID_HELP_CONTENTS,       ID_APP_ABOUT};

double NowSeconds() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return double(clock.nsecsElapsed()) / 1e9;
}
}  // namespace

CMainFrame::CMainFrame(CUiNotifier& notifier, int mode, QWidget* parent)
    : QMainWindow(parent), notifier_(notifier), mode_(mode) {
    setWindowTitle(LoadString(str::AppName));
    setWindowIcon(ProgramIcon());
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreatePanes();
    CreateStatusBar();
    ConnectNotifier();
    SetProgressShown(false);

    resize(1024, 720);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        if (width() > area.width() || height() > area.height()) resize(area.size() * 0.9);
        move(area.center() - rect().center());
    }
    connect(&timer250_, &QTimer::timeout, this, &CMainFrame::OnTimer250);
    connect(&timer2000_, &QTimer::timeout, this, &CMainFrame::OnTimer2000);
    timer250_.start(250);
    timer2000_.start(2000);
    ApplyLegend();
    Settings().SetFlag(settings_offset::AnalysisStarted, true);
    EventLog().LogResource(str::ProgramRunning);

    // Arrival and removal of disks, logged with their kernel names. The log
    // is safe from any thread; nothing of the window is touched there.
    devices_ = std::make_unique<CDeviceEvents>();
    devices_->Start([](const DeviceEvent& event) {
        EventLog().LogResource(event.added ? str::DeviceArrived : str::DeviceRemoved, event.kernelName.c_str());
    });
    QMetaObject::invokeMethod(this, &CMainFrame::ArrangePanes, Qt::QueuedConnection);
}

CMainFrame::~CMainFrame() {
    devices_.reset();
}

QWidget* CMainFrame::LegendPane() const { return legend_; }

QAction* CMainFrame::Action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

// --- Creation ----------------------------------------------------------------

void CMainFrame::CreateActions() {
    for (const CommandInfo& c : CommandTable()) {
        if (c.id <= 0) continue;
        auto* action = new QAction(MenuText(c.id), this);
        action->setStatusTip(StatusTip(c.id));
        action->setToolTip(ToolTip(c.id));
        if (const QString keys = Accelerator(c.id); !keys.isEmpty()) action->setShortcut(QKeySequence(keys));
        if (c.icon) action->setIcon(CommandIcon(c.icon));
        action->setIconVisibleInMenu(std::find(std::begin(kMenuIcons), std::end(kMenuIcons), c.id) != std::end(kMenuIcons));
        action->setCheckable(c.checkable);
        const CommandState state = states_.Get(c.id);
        action->setEnabled(state.enabled);
        action->setChecked(state.checked);
        const int id = c.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        actions_[c.id] = action;
    }
}

void CMainFrame::CreateMenus() {
    const std::vector<QString> captions = MenuCaptions();
    size_t menuIndex = 0;
    QMenu* menu = menuBar()->addMenu(captions[0]);
    for (const CommandInfo& c : CommandTable()) {
        if (c.id == -1) {
            menu = menuBar()->addMenu(captions[++menuIndex]);
        } else if (c.id == 0) {
            menu->addSeparator();
        } else {
            menu->addAction(actions_[c.id]);
        }
    }
}

void CMainFrame::CreateToolBar() {
    toolbar_ = addToolBar(QString());
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(24, 24));
    toolbar_->toggleViewAction()->setVisible(false);
    for (int id : ToolbarCommands()) {
        if (id == 0) {
            toolbar_->addSeparator();
            continue;
        }
        QAction* action = actions_[id];
        const QString text = ToolbarText(id);
        auto* button = new QToolButton(toolbar_);
        button->setDefaultAction(action);
        button->setAutoRaise(true);
        button->setIconSize(QSize(24, 24));
        if (text.isEmpty()) {
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        } else {
            // The button's own text: the menu's may differ ("Start Analyzing" / "Analyze").
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            connect(action, &QAction::changed, button, [button, text] { button->setText(text); });
            button->setText(text);
        }
        button->setToolTip(action->toolTip());
        toolbar_->addWidget(button);
    }
}

void CMainFrame::CreatePanes() {
    outer_ = new QSplitter(Qt::Vertical, this);
    inner_ = new QSplitter(Qt::Vertical, outer_);
    explorer_ = new CExploreView(inner_);
    inner_->addWidget(explorer_);
    outer_->addWidget(inner_);
    legend_ = new CLegend_Pane(outer_);
    outer_->addWidget(legend_);
    auto* later = new QLabel(LoadString(str::DataViewerLater));
    later->setAlignment(Qt::AlignCenter);
    viewer_ = new CVerticalCaptionPane(LoadString(str::DataViewerCaption), later, outer_);
    outer_->addWidget(viewer_);
    outer_->setChildrenCollapsible(false);
    outer_->setStretchFactor(0, 2);
    outer_->setStretchFactor(1, 1);
    outer_->setStretchFactor(2, 1);
    setCentralWidget(outer_);
    connect(legend_, &CVerticalCaptionPane::CloseRequested, this, [this] { OnCommand(ID_PANE_CLOSE); });
    connect(viewer_, &CVerticalCaptionPane::CloseRequested, viewer_, &QWidget::hide);
    connect(explorer_, &CExploreView::ObjectSelected, this, &CMainFrame::IdleWanted);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    statusPane_ = new QLabel(LoadString(str::Ready), bar);
    statusPane_->setFixedWidth(kStatusPaneWidth);
    statusPane_->setTextFormat(Qt::PlainText);
    bar->addWidget(statusPane_);
    progress_ = new QProgressBar(bar);
    progress_->setRange(0, 100);
    progress_->setTextVisible(true);
    progress_->setFixedWidth(kProgressPaneWidth);
    bar->addWidget(progress_);
    // The default pane: the log list and, at its right end, the "..." button.
    auto* pane = new QWidget(bar);
    auto* layout = new QHBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    log_ = new CLogView(pane);
    more_ = new QToolButton(pane);
    more_->setText("...");
    more_->setAutoRaise(true);
    more_->setToolTip(LoadString(str::OpenLogTooltip));
    layout->addWidget(log_, 1);
    layout->addWidget(more_);
    bar->addWidget(pane, 1);
    connect(more_, &QToolButton::clicked, this, [this] { OnCommand(ID_LOG_OPEN_AS_TEXT); });
}

void CMainFrame::ConnectNotifier() {
    connect(&notifier_, &CUiNotifier::LogLine, log_, &CLogView::AddLine);
    connect(&notifier_, &CUiNotifier::StatusText, this, [this](int id, qintptr) { OnStatusText(id); });
    connect(&notifier_, &CUiNotifier::CollectionChanged, explorer_, &CExploreView::OnCollectionChanged);
    connect(&notifier_, &CUiNotifier::VolumeAdded, explorer_, &CExploreView::OnVolumeAdded);
    connect(&notifier_, &CUiNotifier::AnalysisEvent, this, [this](quint32 message, CVolume*) {
        if (message == WM_ANALYSIS_FINISHED) OnAnalysisFinished();
        emit IdleWanted();
    });
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    more_->setFixedSize(statusPane_->height(), statusPane_->height());
}

// --- Panes -------------------------------------------------------------------

void CMainFrame::ArrangePanes() {
    const int h = outer_->height();
    if (mode_ == ID_MODE_MAIN) {
        viewer_->hide();
        outer_->setSizes({h - h / 3, h / 3, 0});
    } else {
        legend_->hide();
        viewer_->show();
        outer_->setSizes({h / 3, 0, h - h / 3});
    }
    ApplyLegend();
}

void CMainFrame::ApplyLegend() {
    const bool on = Settings().Flag(settings_offset::ShowLegend);
    legend_->setVisible(on && mode_ == ID_MODE_MAIN);
    if (QAction* a = Action(ID_VIEW_LEGEND)) a->setChecked(on);
}

// --- Commands ----------------------------------------------------------------

bool CMainFrame::OnCommand(int id) {
    ProgramSettings& s = Settings();
    bool handled = true;
    switch (id) {
        case ID_APP_EXIT: QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); break;
        case ID_DISK_RESCAN: RescanDrives(); break;
        case ID_VIEW_LEGEND:
            s.SetFlag(settings_offset::ShowLegend, !s.Flag(settings_offset::ShowLegend));
            ApplyLegend();
            break;
        case ID_PANE_CLOSE:
            s.SetFlag(settings_offset::ShowLegend, false);
            ApplyLegend();
            break;
        case ID_VIEW_TOOLBAR:
            s.SetFlag(settings_offset::ShowToolbar, !s.Flag(settings_offset::ShowToolbar));
            toolbar_->setVisible(s.Flag(settings_offset::ShowToolbar));
            break;
        case ID_VIEW_STATUS_BAR: {
            const bool show = statusBar()->isHidden();
            s.SetFlag(settings_offset::ShowStatusBar, show);
            statusBar()->setVisible(show);
            break;
        }
        case ID_LOG_OPEN_AS_TEXT: EventLog().OpenAsText(); break;
        case ID_HELP_CONTENTS:
        case ID_HELP_RECOVERY_GUIDE:
        case ID_HELP_SEARCH:
            if (CApp* app = CApp::Instance()) app->Help(id);
            break;
        case ID_APP_ABOUT:
            if (CApp* app = CApp::Instance()) app->About();
            break;
        case ID_MODE_MAIN:
        case ID_MODE_WIZARD:
        case ID_MODE_VIEWER:
        case ID_MODE_VIEWER2:
            if (CApp* app = CApp::Instance()) app->SwitchMode(id);
            break;
        default: handled = explorer_->OnCommand(id); break;
    }
    emit IdleWanted();
    return handled;
}

void CMainFrame::RescanDrives() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CVolumesList& list = Computer().Volumes();
    if (list.StartRescan() || list.Rescanning()) list.WaitRescan(std::chrono::milliseconds(15000));
    explorer_->RebuildTree();
    QApplication::restoreOverrideCursor();
    if (selectAfterRescan_) {
        explorer_->SelectVolume(selectAfterRescan_);
        selectAfterRescan_ = nullptr;
    }
}

void CMainFrame::SelectAfterRescan(CVolume* volume) { selectAfterRescan_ = volume; }

// --- Idle pass and timers ------------------------------------------------------

void CMainFrame::OnIdle() {
    ProgramSettings& s = Settings();
    CommandFacts facts;
    facts.analysisRunning = TheAnalysisState().Running();
    facts.driveSelected = explorer_->IsDriveSelected();
    facts.objectCurrent = explorer_->HasCurrentObject();
    facts.searchShown = explorer_->IsSearchShown();
    facts.showToolbar = s.Flag(settings_offset::ShowToolbar);
    facts.showStatusBar = s.Flag(settings_offset::ShowStatusBar);
    facts.showLegend = s.Flag(settings_offset::ShowLegend);
    states_.Update(facts);
    for (auto& [id, action] : actions_) {
        const CommandState state = states_.Get(id);
        if (action->isEnabled() != state.enabled) action->setEnabled(state.enabled);
        if (action->isCheckable() && action->isChecked() != state.checked) action->setChecked(state.checked);
    }
    explorer_->OnIdle();
    StatusAndProgressStep();
    if (s.Flag(settings_offset::StartupPending)) {
        s.SetFlag(settings_offset::StartupPending, false);
        QMetaObject::invokeMethod(this, [this] { setWindowTitle(CApp::Title()); }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(this, [this] { OnCommand(ID_DISK_RESCAN); }, Qt::QueuedConnection);
        explorer_->ShowView(kMyComputerView);
    }
}

void CMainFrame::SetProgressShown(bool shown) {
    progress_->setVisible(shown);
    progress_->setFixedWidth(shown ? kProgressPaneWidth : 0);
}

void CMainFrame::StatusAndProgressStep() {
    const AnalysisState& state = TheAnalysisState();
    if (!state.Running()) {
        if (progress_->isVisible() || !progress_->isHidden()) SetProgressShown(false);
        statusPane_->setText(LoadString(str::Ready));
        return;
    }
    if (progress_->isHidden()) SetProgressShown(true);
    const CAnalysisProgress::Shown shown = progressModel_.Sample(state, NowSeconds());
    if (shown.percent < 0) {
        progress_->setRange(0, 0);  // busy: this phase has no total
    } else {
        if (progress_->maximum() != 100) progress_->setRange(0, 100);
        progress_->setValue(shown.percent);
        progress_->setFormat(QString::fromStdString(shown.text));
    }
}

void CMainFrame::OnTimer250() {
    StatusAndProgressStep();
    explorer_->OnTimer250();
    emit IdleWanted();
}

void CMainFrame::OnTimer2000() {
    if (TheAnalysisState().Running()) explorer_->OnTimer2000();
}

// --- Notifications -----------------------------------------------------------

void CMainFrame::OnStatusText(int stringId) {
    statusPane_->setText(LoadString(stringId));
    if (stringId == str::AnalyzingSectors) {
        // The analysis thread has written the volume's geometry before it
        // sent this status, and leaves it alone during the scan.
        CVolume* volume = TheAnalysisState().volume.load();
        const uint64_t perUnit = volume && volume->sectorsPerCluster ? uint64_t(volume->sectorsPerCluster) * 512 : 512;
        progressModel_.BeginScan(perUnit);
    } else if (stringId == str::AnalyzingFileSystem) {
        progressModel_.Reset();
    }
}

void CMainFrame::OnAnalysisFinished() {
    CAnalysisController& controller = AnalysisController();
    if (!Settings().Flag(settings_offset::AnalyseQueuedDrives)) return;
    std::vector<CVolume*> queue = controller.Queue();
    if (!queue.empty() && !TheAnalysisState().Running()) controller.StartAnalysis(queue.front());
}

// --- Exit --------------------------------------------------------------------

void CMainFrame::ExitStopAnalysis() {
    // Runs on every close request, also when no analysis runs.
    statusPane_->setText(LoadString(str::Aborting));
    CAnalysisController& controller = AnalysisController();
    CVolume* current = controller.CurrentVolume();
    if (!current) current = TheAnalysisState().volume.load();
    controller.StopAnalysis(current, true);
    Settings().SetFlag(settings_offset::AnalysisStarted, false);
    EventLog().LogResource(str::OperationAborted);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    ExitStopAnalysis();
    CApp* app = CApp::Instance();
    if (app && !app->ConfirmExit(this)) {
        event->ignore();
        return;
    }
    TryOpenJob().DeleteTemporaryFiles();
    // The help window would keep the program running after its main window.
    if (app && app->HelpWindow()) app->HelpWindow()->close();
    timer250_.stop();
    timer2000_.stop();
    devices_.reset();
    event->accept();
}

}  // namespace vx
