#include "ui/app/App.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "platform/DesktopAssociation.h"
#include "platform/DeviceAccess.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "signatures/FileTypeDatabase.h"
#include "signatures/SignatureFile.h"
#include "ui/app/AboutDlg.h"
#include "ui/app/Commands.h"
#include "ui/app/HelpWindow.h"
#include "ui/app/Icons.h"
#include "ui/app/MainFrame.h"
#include "ui/app/ScreenshotRun.h"
#include "ui/app/SplashScreen.h"
#include "ui/app/UiNotifier.h"

namespace vx {

namespace {
CApp* g_app = nullptr;

bool HaveDisplay() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

// Message boxes of a run without a desktop go to the terminal.
class ConsoleNotifier : public INotifier {
public:
    void ShowMessage(const std::string&, const std::string& text) override { std::printf("%s\n", text.c_str()); }
    void ShowError(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "vornex: %s %s\n", caption.c_str(), text.c_str());
    }
};
}  // namespace

CApp::CApp(QObject* parent) : QObject(parent), notifier_(new CUiNotifier(this)) {
    g_app = this;
    // Every load, successful or not, sets start-up pending. The first start
    // (no stored settings yet) also tells the desktop what opens signature files.
    if (!Settings().LoadSettings())
        RegisterSignatureFileAssociation(QCoreApplication::applicationFilePath().toStdString());
    Settings().ApplyLogging();
    SetNotifier(notifier_);
    EventLog().SetReceiver(notifier_);
    qApp->installEventFilter(this);
}

CApp::~CApp() {
    qApp->removeEventFilter(this);
    delete help_;
    EventLog().ClearReceiver();
    SetNotifier(nullptr);
    if (g_app == this) g_app = nullptr;
}

CApp* CApp::Instance() { return g_app; }

CHelpWindow* CApp::HelpWindow() const { return help_; }

QString CApp::Title() { return LoadString(str::AppTitle); }

void CApp::SetMainWindow(QWidget* window) {
    mainWindow_ = window;
    notifier_->SetOwner(window);
    if (window) {
        window->raise();
        window->activateWindow();
    }
}

CMainFrame* CApp::Frame() const { return qobject_cast<CMainFrame*>(mainWindow_.data()); }

int CApp::Run(int mode) {
    if (Settings().Flag(settings_offset::ShowSplash) && mode != ID_MODE_SIGNATURE_WIZARD) {
        auto* splash = new CSplashScreen;
        splash->show();
        QApplication::processEvents();
    }
    FileTypes().EnsureLoaded();
    return SwitchMode(mode);
}

int CApp::SwitchMode(int mode) {
    if (mode == -1) return mode_;
    if (mode == 0) mode = mode_;
    if (mode == ID_MODE_SIGNATURE_WIZARD || mode == ID_MODE_WIZARD) {
        // Those windows arrive with a later version; say so and stay where we are.
        QMessageBox::information(mainWindow_, LoadString(str::Information), LoadString(str::SignatureWizardLater));
        if (!mainWindow_) return -1;
        return mode_;
    }
    QPointer<QWidget> old = mainWindow_;
    if (old) QMetaObject::invokeMethod(old, &QWidget::close, Qt::QueuedConnection);
    mode_ = mode;
    auto* frame = new CMainFrame(*notifier_, mode);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    connect(frame, &CMainFrame::IdleWanted, this, &CApp::RequestIdle);
    SetMainWindow(frame);
    frame->show();
    RequestIdle();
    if (!runLoop_ || inLoop_) return -1;
    inLoop_ = true;
    QApplication::exec();
    inLoop_ = false;
    return -1;
}

bool CApp::ConfirmExit(QWidget* owner) {
    if (Settings().Flag(settings_offset::ConfirmShutdown)) {
        QMessageBox box(QMessageBox::Question, LoadString(str::Confirmation), LoadString(str::ConfirmExit),
                        QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow() ? QApplication::activeWindow() : owner);
        if (box.exec() != QMessageBox::Yes) return false;
    }
    if (Settings().Flag(settings_offset::EndProcessOnExit)) std::_Exit(0);
    return true;
}

void CApp::About() {
    CAboutDlg dialog(QApplication::activeWindow() ? QApplication::activeWindow() : mainWindow_.data());
    connect(&dialog, &CAboutDlg::HelpRequested, this, [this] {
        QMetaObject::invokeMethod(this, [this] { Help(ID_HELP_CONTENTS); }, Qt::QueuedConnection);
    });
    dialog.exec();
}

void CApp::Help(int command) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!help_) help_ = new CHelpWindow;
    if (command == ID_HELP_RECOVERY_GUIDE) help_->ShowPage("quickstart.html");
    else if (command == ID_HELP_SEARCH) help_->ShowSearch();
    else help_->ShowPage("index.html");
    QApplication::restoreOverrideCursor();
}

void CApp::ExploreDestination() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(Settings().DestinationFolder())));
}

CVolume* CApp::LoadImageArgument(const std::string& path) {
    CVolume* volume = Computer().LoadImage(path);
    if (!volume) {
        const std::string text = Format(LoadString(str::ImageNotLoaded), path.c_str());
        EventLog().LogError("%s", text.c_str());
        QMessageBox::critical(mainWindow_, LoadString(str::Error), QString::fromStdString(text));
        return nullptr;
    }
    if (CMainFrame* frame = Frame()) frame->SelectAfterRescan(volume);
    return volume;
}

bool CApp::CheckDeviceAccess() {
    if (MayOpenBlockDevices()) return true;
    EventLog().LogError("%s", LoadString(str::NoDriveAccessLog));
    // Not modal: the program goes on (an image named on the command line loads behind it).
    auto* box = new QMessageBox(QMessageBox::Information, LoadString(str::Information), LoadString(str::NoDriveAccess),
                                QMessageBox::Ok, mainWindow_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    return false;
}

void CApp::RequestIdle() {
    if (idlePending_) return;
    idlePending_ = true;
    // After the events already queued: the pass runs once the queue is empty.
    QTimer::singleShot(0, this, [this] {
        idlePending_ = false;
        OnIdle();
    });
}

void CApp::OnIdle() {
    if (CMainFrame* frame = Frame()) frame->OnIdle();
    Settings().SaveSettingsIfChanged();
}

bool CApp::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonRelease:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::FocusIn:
        case QEvent::WindowActivate:
            RequestIdle();
            break;
        default: break;
    }
    return QObject::eventFilter(watched, event);
}

int AppMain(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const CommandLine commandLine = ParseCommandLine(args);
    if (commandLine.addsig) {
        // No window: the signature file is added and the program ends. Its
        // message shows in a box on a desktop, on the terminal without one.
        if (!HaveDisplay()) {
            ConsoleNotifier console;
            SetNotifier(&console);
            Settings().LoadSettings();
            AddSignatureFile(commandLine.addsigPath);
            SetNotifier(nullptr);
            return 0;
        }
        QApplication qt(argc, argv);
        CApp app;
        AddSignatureFile(commandLine.addsigPath);
        return 0;
    }
    QApplication qt(argc, argv);
    QApplication::setApplicationName("vornex");
    QApplication::setApplicationDisplayName(LoadString(str::AppName));
    QApplication::setDesktopFileName("vornex");
    QApplication::setWindowIcon(ProgramIcon());
    SetUpIconTheme();
    CApp app;
    if (commandLine.createSignature) return app.Run(ID_MODE_SIGNATURE_WIZARD) < 0 ? 0 : 0;
    QTimer::singleShot(0, &app, [&app, commandLine] {
        if (!commandLine.imagePath.empty()) {
            CVolume* volume = app.LoadImageArgument(commandLine.imagePath);
            if (volume && !commandLine.shotsFolder.empty()) StartScreenshotRun(app, volume, commandLine);
        }
        if (commandLine.shotsFolder.empty()) app.CheckDeviceAccess();
    });
    app.Run(ID_MODE_MAIN);
    return 0;
}

}  // namespace vx
