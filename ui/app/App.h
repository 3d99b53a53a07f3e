#pragma once
// CApp: the application object. It holds the settings record (saved in the
// idle pass when its checksum changed), the current top-level mode and
// window, the notification receiver, the help window, and runs start-up,
// mode switches and the exit question.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <string>

#include "ui/app/CommandLine.h"

class QWidget;

namespace vx {

class CHelpWindow;
class CMainFrame;
class CUiNotifier;
class CVolume;

class CApp : public QObject {
    Q_OBJECT
public:
    explicit CApp(QObject* parent = nullptr);
    ~CApp() override;
    static CApp* Instance();

    // Splash (when enabled), the file-type database, then SwitchMode(mode).
    int Run(int mode);
    // -1 returns the current mode, 0 stands for it; any other mode replaces
    // the top-level window (the old one gets a close request) and, unless a
    // loop runs already, runs the event loop until the last window closes.
    int SwitchMode(int mode);
    int Mode() const { return mode_; }
    // Tests: SwitchMode creates the window but runs no loop.
    void SetRunLoop(bool run) { runLoop_ = run; }

    QWidget* MainWindow() const { return mainWindow_; }
    void SetMainWindow(QWidget* window);
    CMainFrame* Frame() const;
    CUiNotifier& Notifier() { return *notifier_; }

    // The exit question; true when the window may close.
    bool ConfirmExit(QWidget* owner);
    static QString Title();
    void About();
    // Contents, Recovery Guide and Search for Help on.
    void Help(int command);
    CHelpWindow* HelpWindow() const;
    void ExploreDestination();

    // Loads a drive image named on the command line; selected once the
    // first drive scan has rebuilt the tree. Null (with a message) on failure.
    CVolume* LoadImageArgument(const std::string& path);
    // Whether this user may open the drives; when not, says so once (log and
    // message box) and goes on: images need no privilege.
    bool CheckDeviceAccess();

    // The idle pass: the main window's, then the settings save.
    void OnIdle();
    void RequestIdle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CUiNotifier* notifier_;
    int mode_ = 0;
    bool runLoop_ = true;
    bool inLoop_ = false;
    bool idlePending_ = false;
    QPointer<QWidget> mainWindow_;
    CHelpWindow* help_ = nullptr;
};

// The program's entry: start-up sequence, command line, Run.
int AppMain(int argc, char** argv);

}  // namespace vx
