#include "ui/app/ScreenshotRun.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QPixmap>
#include <QPushButton>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "device/DriveImage.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "signatures/FileTypeDatabase.h"
#include "settings/EventLog.h"
#include "ui/app/App.h"
#include "ui/app/Commands.h"
#include "ui/app/HelpWindow.h"
#include "ui/app/SplashScreen.h"
#include "ui/app/MainFrame.h"
#include "ui/explorer/ExploreView.h"
#include "ui/explorer/FilesListView.h"
#include "ui/explorer/FindInFound.h"
#include "ui/explorer/SearchBarView.h"
#include "ui/recovery/ProbableSizeDlg.h"
#include "ui/recovery/RecoverDlg.h"
#include "ui/recovery/RecoveryProgressDlg.h"
#include "ui/formats/ObjectInformationView.h"
#include "ui/images/CreatingImageDlg.h"
#include "ui/viewer/HexViewerPane.h"
#include "ui/viewer/PreviewView.h"

namespace vx {

namespace {

// One step: wait until `ready` holds (checked every 100 ms), then take the
// picture `name` (of the dialog in front, when there is one) and run `after`.
struct Step {
    QString name;
    std::function<bool()> ready;
    std::function<void()> after;
    std::function<QWidget*()> target = nullptr;  // default: the dialog in front, else the main window
};

class CScreenshotRun : public QObject {
public:
    CScreenshotRun(CApp& app, QString folder, std::vector<Step> steps)
        : QObject(&app), app_(app), folder_(std::move(folder)), steps_(std::move(steps)) {
        QDir().mkpath(folder_);
        connect(&timer_, &QTimer::timeout, this, &CScreenshotRun::Tick);
        timer_.start(100);
    }

private:
    void Tick() {
        if (next_ >= steps_.size()) {
            timer_.stop();
            // Leaves the loop without closing the windows: closing would ask
            // the exit question, which nobody answers here.
            QCoreApplication::exit(0);
            return;
        }
        Step& step = steps_[next_];
        if (step.ready && !step.ready()) return;
        if (CMainFrame* frame = app_.Frame()) frame->OnTimer250();  // the bar as of now
        QWidget* target = step.target ? step.target() : QApplication::activeModalWidget();
        if (!target) target = app_.MainWindow();
        if (target && !step.name.isEmpty()) target->grab().save(folder_ + "/" + step.name + ".png");
        ++next_;
        if (step.after) step.after();
    }

    CApp& app_;
    QString folder_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    QTimer timer_;
};

// True once `ms` milliseconds have passed since the first call of the returned check.
std::function<bool()> After(int ms) {
    auto start = std::make_shared<qint64>(-1);
    return [start, ms] {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (*start < 0) *start = now;
        return now - *start >= ms;
    };
}

// The explorer's steps after an analysis: the search pane with the deleted
// files, the Recover dialog for the first of them, its progress dialog (the
// files go to a temporary folder of this run), and the probable-size dialog
// as Set New Size shows it.
void AddExplorerSteps(std::vector<Step>& steps, const std::function<CMainFrame*()>& frame) {
    auto explorer = [frame] { return frame()->Explorer(); };
    auto recovered = std::make_shared<QTemporaryDir>();
    steps.push_back({QString(), nullptr, [explorer] {
                         explorer()->OnCommand(ID_VIEW_SEARCH);
                         explorer()->Search()->Form()->searchButton->click();
                     }});
    steps.push_back({"search-results",
                     [explorer] {
                         return !explorer()->Search()->Running() &&
                                explorer()->Search()->Results()->Model().rowCount() > 0;
                     },
                     [explorer, recovered] {
                         CFilesListView* results = explorer()->Search()->Results();
                         results->selectRow(0);
                         explorer()->SetFocusedView(results);
                         QMetaObject::invokeMethod(
                             explorer(), [explorer] { explorer()->OnCommand(ID_FILE_RECOVER); }, Qt::QueuedConnection);
                     }});
    steps.push_back({"recover-dialog",
                     [] { return qobject_cast<COnRecoveryDlg*>(QApplication::activeModalWidget()) != nullptr; },
                     [recovered] {
                         auto* dialog = qobject_cast<COnRecoveryDlg*>(QApplication::activeModalWidget());
                         dialog->destination->setText(recovered->path() + QStringLiteral("/"));
                         dialog->accept();
                     }});
    steps.push_back({"recover-progress",
                     [] {
                         auto* dialog = qobject_cast<CRecoveryProgressDlg*>(QApplication::activeModalWidget());
                         return dialog && dialog->FinishedShown();
                     },
                     [] { qobject_cast<CRecoveryProgressDlg*>(QApplication::activeModalWidget())->okButton->click(); }});
    steps.push_back({QString(), [] { return QApplication::activeModalWidget() == nullptr; }, [explorer] {
                         QMetaObject::invokeMethod(
                             explorer(), [explorer] { explorer()->OnCommand(ID_FILE_SET_NEW_SIZE); },
                             Qt::QueuedConnection);
                     }});
    steps.push_back({"probable-size",
                     [] { return qobject_cast<CProbableFileSizeDlg*>(QApplication::activeModalWidget()) != nullptr; },
                     [] { QApplication::activeModalWidget()->close(); }});
    steps.push_back({QString(), [] { return QApplication::activeModalWidget() == nullptr; },
                     [explorer] { explorer()->HideSearchPane(); }});
}

// The data viewer on a photo with its preview, the volume information view,
// the settings sheet's File Types page, a format's Signature page and the
// image dialog during a copy.
void AddViewerShots(std::vector<Step>& steps, CApp& app, CVolume* volume) {
    if (!volume) return;
    auto frame = [&app] { return app.Frame(); };
    auto closeDialog = [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    };
    // The pane as the data viewer mode shows it, on a photo's preview.
    auto pane = std::make_shared<std::unique_ptr<CHexViewer_Pane>>();
    steps.push_back({QString(), nullptr, [pane, volume] {
                         const FoundObject* photo = nullptr;
                         volume->collection.Visit([&](const FoundObject& r) {
                             if (!photo && !r.IsVolumeNode() && !r.IsFolder() && r.name &&
                                 QString::fromUtf8(r.name).endsWith(".JPG", Qt::CaseInsensitive))
                                 photo = &r;
                         });
                         *pane = std::make_unique<CHexViewer_Pane>();
                         (*pane)->resize(1200, 430);
                         (*pane)->show();
                         (*pane)->ArrangePanes();
                         (*pane)->ShowObject(volume, photo);
                         (*pane)->Pages()->setCurrentWidget((*pane)->PreviewView());
                     }});
    steps.push_back({"data-viewer-jpeg", After(1200), [pane, frame, volume] {
                         pane->reset();
                         frame()->Explorer()->SelectDrive(volume);
                     }, [pane] { return static_cast<QWidget*>(pane->get()); }});
    steps.push_back({"volume-information", After(800), [frame] {
                         QMetaObject::invokeMethod(frame(), [frame] { frame()->OnCommand(ID_OPTIONS_FILE_TYPES); },
                                                   Qt::QueuedConnection);
                     }});
    steps.push_back({"settings-file-types", After(800), [closeDialog, frame] {
                         closeDialog();
                         QMetaObject::invokeMethod(frame(), [frame] {
                             FileType* jpeg = FileTypes().FindByExtension("JPG");
                             if (!jpeg) return;
                             CObjectInformationView sheet(*jpeg, frame());
                             sheet.Tabs()->setCurrentIndex(CObjectInformationView::SignaturePage);
                             sheet.exec();
                         }, Qt::QueuedConnection);
                     }});
    auto job = std::make_shared<std::unique_ptr<CImageJob>>();
    auto dialog = std::make_shared<std::unique_ptr<CCreatingImageDlg>>();
    const std::string imagePath = QDir::temp().filePath("vornex-screenshot-copy.dsk").toStdString();
    steps.push_back({"file-format-properties", After(800), [closeDialog, frame, volume, job, dialog, imagePath] {
                         closeDialog();
                         *job = CreateImage(*volume, imagePath, false);  // never over a file already there
                         if (!*job) return;
                         *dialog = std::make_unique<CCreatingImageDlg>(**job, frame());
                         (*dialog)->show();
                     }});
    steps.push_back({"creating-drive-image", After(1500), [job, dialog, imagePath] {
                         const bool ours = *job != nullptr;
                         if (ours) (*job)->Stop();
                         dialog->reset();
                         job->reset();  // waits for the copy to end
                         if (ours) QFile::remove(QString::fromStdString(imagePath));
                     }, [dialog] { return static_cast<QWidget*>(dialog->get()); }});
}

}  // namespace

void StartScreenshotRun(CApp& app, CVolume* volume, const CommandLine& commandLine) {
    auto frame = [&app] { return app.Frame(); };
    std::vector<Step> steps;
    steps.push_back({"splash", After(300), nullptr, [] {
                         for (QWidget* w : QApplication::topLevelWidgets())
                             if (qobject_cast<CSplashScreen*>(w) && w->isVisible()) return w;
                         return static_cast<QWidget*>(nullptr);
                     }});
    steps.push_back({QString(), [frame] { return frame() && frame()->windowTitle() != "Vornex"; }, nullptr});
    steps.push_back({"main-start", After(3000), [frame, volume, analyze = commandLine.analyze] {
                         if (!analyze) return;
                         frame()->Explorer()->SelectVolume(volume);
                         // The explorer starts the analysis of its selected drive; the run
                         // starts it directly where the explorer does not take the command.
                         if (!frame()->OnCommand(ID_DISK_START_ANALYZING)) AnalysisController().StartAnalysis(volume);
                     }});
    if (commandLine.analyze) {
        steps.push_back({"main-during",
                         [] {
                             const AnalysisState& s = TheAnalysisState();
                             // A small image may be done before a quarter is seen.
                             return !s.Running() || (s.phase == 0 && s.total > 0 && s.progress * 4 > s.total);
                         },
                         nullptr});
        steps.push_back({QString(), [] { return !TheAnalysisState().Running(); }, nullptr});
        steps.push_back({"main-after", After(2500), nullptr});
    }
    // A dialog: open it queued in `after` (it runs its own loop), take its
    // picture in the next step and close it in that step's `after`.
    auto closeDialog = [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    };
    steps.push_back({QString(), nullptr, [&app] {
                         QMetaObject::invokeMethod(&app, [&app] { app.About(); }, Qt::QueuedConnection);
                     }});
    steps.push_back({"about", After(700), closeDialog});
    steps.push_back({QString(), nullptr, [&app] { app.Help(ID_HELP_RECOVERY_GUIDE); }});
    steps.push_back({"help-guide", After(700), nullptr, [&app] { return static_cast<QWidget*>(app.HelpWindow()); }});
    if (commandLine.analyze) AddExplorerSteps(steps, frame);
    AddViewerShots(steps, app, volume);
    new CScreenshotRun(app, QString::fromStdString(commandLine.shotsFolder), std::move(steps));
}

}  // namespace vx
