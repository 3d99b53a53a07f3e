// The main window on the offscreen platform: command states, log list, exit
// question, toggles, title, progress bar; and the start-up command line.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "fs/Analysis.h"
#include "platform/Paths.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "signatures/FileType.h"
#include "signatures/FileTypeDatabase.h"
#include "signatures/SignatureFile.h"
#include "tests/support/TestSupport.h"
#include "ui/app/App.h"
#include "ui/app/CommandStates.h"
#include "ui/app/Commands.h"
#include "ui/app/MainFrame.h"
#include "ui/log/LogView.h"

namespace vx {
namespace {

TEST(CommandStates, FollowTheRunningSelectedAndCurrentFacts) {
    // R D O -> Rescan, Start, Stop, Search Lost, Search, Recover, Information.
    struct Row {
        bool r, d, o;
        bool rescan, start, stop, searchLost, search, recover, information;
    };
    const Row rows[] = {
        {false, false, false, true, false, false, false, true, false, false},
        {false, true, false, true, true, false, true, true, false, false},
        {true, true, false, false, false, true, true, false, false, false},
        {false, false, true, true, false, false, false, true, true, true},
        {true, false, true, false, false, true, false, false, false, true},
        {false, true, true, true, true, false, true, true, false, false},  // a drive wins over an object
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "R=" << row.r << " D=" << row.d << " O=" << row.o);
        CCommandStates states;
        states.Update({row.r, row.d, row.o});
        EXPECT_EQ(states.Enabled(ID_DISK_RESCAN), row.rescan);
        EXPECT_EQ(states.Enabled(ID_DISK_START_ANALYZING), row.start);
        EXPECT_EQ(states.Enabled(ID_DISK_STOP_ANALYZING), row.stop);
        EXPECT_EQ(states.Enabled(ID_DISK_SEARCH_LOST), row.searchLost);
        EXPECT_EQ(states.Enabled(ID_VIEW_SEARCH), row.search);
        EXPECT_EQ(states.Enabled(ID_FILE_RECOVER), row.recover);
        EXPECT_EQ(states.Enabled(ID_FILE_INFORMATION), row.information);
        EXPECT_EQ(states.Enabled(ID_FILE_TRY_OPEN), row.information);
    }
}

TEST(CommandStates, ObjectCommandsKeepTheirStateWhenNeitherDriveNorObject) {
    CCommandStates states;
    states.Update({false, false, true});
    states.Update({true, false, false});
    EXPECT_TRUE(states.Enabled(ID_FILE_RECOVER));  // kept from the pass before
    EXPECT_TRUE(states.Enabled(ID_FILE_SET_NEW_SIZE));
    states.Update({true, true, false});
    EXPECT_FALSE(states.Enabled(ID_FILE_RECOVER));
    // The settings pages arrive later: never enabled.
    EXPECT_FALSE(states.Enabled(ID_OPTIONS_SETTINGS));
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_unique<CApp>();
        app->SetRunLoop(false);
        app->SwitchMode(ID_MODE_MAIN);
        frame = app->Frame();
        ASSERT_NE(frame, nullptr);
    }
    void TearDown() override {
        AnalysisController().StopAnalysis(AnalysisController().CurrentVolume(), true);
        Settings().SetFlag(settings_offset::ConfirmShutdown, false);
        if (frame) frame->close();
        QApplication::processEvents();
        app.reset();
    }
    // A FAT image of `mib` MiB with a few files, loaded as a source.
    CVolume* LoadFatImage(int mib) {
        const std::string image = dir / "card.img";
        test::MustRun("mkfs.fat -C -F 32 " + test::Quote(image) + " " + std::to_string(mib * 1024) + " >/dev/null");
        test::WriteFile(dir / "a.txt", test::RandomBytes(20000, 1));
        test::MustRun("MTOOLS_SKIP_CHECK=1 mcopy -i " + test::Quote(image) + " " + test::Quote(dir / "a.txt") + " ::");
        return Computer().LoadImage(image);
    }
    void AnswerNextQuestion(QMessageBox::StandardButton answer) {
        auto* timer = new QTimer(frame);
        QObject::connect(timer, &QTimer::timeout, [timer, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->button(answer)->click();
                timer->deleteLater();
            }
        });
        timer->start(20);
    }

    test::ScopedConfig config;
    test::TempDir dir;
    std::unique_ptr<CApp> app;
    QPointer<CMainFrame> frame;
};

TEST_F(MainFrameTest, TitleChangesInTheFirstIdlePass) {
    EXPECT_EQ(frame->windowTitle(), "Vornex");
    app->OnIdle();
    QApplication::processEvents();
    EXPECT_EQ(frame->windowTitle(), "Vornex for FAT");
    EXPECT_FALSE(Settings().Flag(settings_offset::StartupPending));
}

TEST_F(MainFrameTest, LogListShowsTheNewestLineFirst) {
    for (const char* line : {"line A", "line B", "line C"}) EventLog().LogText(line);
    QApplication::processEvents();
    const QStringList lines = frame->LogList()->Lines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith("line C"));
    EXPECT_TRUE(lines[1].endsWith("line B"));
    EXPECT_TRUE(lines[2].endsWith("line A"));
    EXPECT_TRUE(frame->LogList()->currentText().endsWith("line C"));
}

TEST_F(MainFrameTest, StatusBarToggledTwiceIsBackWithItsSetting) {
    frame->show();
    ASSERT_TRUE(frame->statusBar()->isVisible());
    frame->OnCommand(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(Settings().Flag(settings_offset::ShowStatusBar));
    frame->OnCommand(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(frame->statusBar()->isVisible());
    EXPECT_TRUE(Settings().Flag(settings_offset::ShowStatusBar));
}

TEST_F(MainFrameTest, LegendCloseButtonHidesThePaneAndClearsTheCheckMark) {
    frame->show();
    ASSERT_TRUE(frame->LegendPane()->isVisible());
    frame->OnCommand(ID_PANE_CLOSE);
    app->OnIdle();
    EXPECT_FALSE(frame->LegendPane()->isVisible());
    EXPECT_FALSE(frame->Action(ID_VIEW_LEGEND)->isChecked());
}

TEST_F(MainFrameTest, ChangedSettingsAreSavedInTheIdlePass) {
    app->OnIdle();
    ASSERT_EQ(Settings().SaveSettingsIfChanged(), 0);
    frame->OnCommand(ID_VIEW_LEGEND);
    app->OnIdle();
    EXPECT_EQ(Settings().SaveSettingsIfChanged(), 0);  // the idle pass saved it already
    ProgramSettings stored;
    stored.LoadSettings();
    EXPECT_EQ(stored.Flag(settings_offset::ShowLegend), Settings().Flag(settings_offset::ShowLegend));
}

TEST_F(MainFrameTest, ViewerModeReplacesTheWindowWithTheViewerBelow) {
    Settings().SetFlag(settings_offset::ConfirmShutdown, false);
    QPointer<CMainFrame> old = frame;
    app->SwitchMode(ID_MODE_VIEWER);
    frame = app->Frame();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(app->SwitchMode(-1), ID_MODE_VIEWER);
    EXPECT_FALSE(frame->LegendPane()->isVisible());
}

TEST_F(MainFrameTest, ExitAnsweredNoKeepsTheWindowButTheAnalysisHasStopped) {
    CVolume* volume = LoadFatImage(256);
    ASSERT_NE(volume, nullptr);
    frame->show();
    test::LogMark mark;
    AnalysisController().StartAnalysis(volume);
    Settings().SetFlag(settings_offset::ConfirmShutdown, true);
    AnswerNextQuestion(QMessageBox::No);
    frame->close();
    QApplication::processEvents();
    ASSERT_FALSE(frame.isNull());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(TheAnalysisState().Running());
    EXPECT_TRUE(AnalysisController().WaitForAnalysis(volume, 10000));
    EXPECT_TRUE(mark.Contains("Operation aborted. Incomplete drive analysis!"));
}

TEST_F(MainFrameTest, ProgressBarMovesDuringAFatAnalysis) {
    CVolume* volume = LoadFatImage(192);
    ASSERT_NE(volume, nullptr);
    frame->show();
    AnalysisController().StartAnalysis(volume);
    int highest = -1;
    bool shown = false;
    while (!AnalysisController().WaitForAnalysis(volume, 1)) {
        QApplication::processEvents();
        frame->OnTimer250();
        if (TheAnalysisState().Running()) {
            shown = shown || frame->ProgressBar()->isVisible();
            if (frame->ProgressBar()->maximum() == 100) highest = std::max(highest, frame->ProgressBar()->value());
        }
    }
    QApplication::processEvents();
    frame->OnTimer250();
    EXPECT_TRUE(shown);
    EXPECT_GT(highest, 0);
    EXPECT_FALSE(frame->ProgressBar()->isVisible());
    EXPECT_EQ(frame->StatusPane()->text(), "Ready");
}

TEST(CommandLine, AddsigTakesAPathWithABlankAndOpensNoWindow) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string folder = dir / "my signatures";
    ASSERT_TRUE(MakeFolders(folder));
    const std::string path = folder + "/notes.filesig";
    auto type = FileType::Create(1701, group_id::Documents, "Notes", "notes", "NTZ");
    ASSERT_EQ(WriteSignatureFile(*type, path), 1);

    const CommandLine parsed = ParseCommandLine({"/addsig", path, "/cs"});
    EXPECT_TRUE(parsed.addsig);
    EXPECT_EQ(parsed.addsigPath, path + " /cs");
    EXPECT_EQ(ParseCommandLine({"/addsig " + path}).addsigPath, path);
    EXPECT_EQ(ParseCommandLine({"/addsig"}).addsigPath, "");

    // The program itself, without a display: it must not need one.
    const test::CommandResult run = test::Run("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME=" +
                                              test::Quote(config.folder()) + " " + test::Quote(test::AppPath()) +
                                              " /addsig " + test::Quote(path));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Signature file '" + path + "' added!"), std::string::npos) << run.out;
}

TEST(CommandLine, APathOfAnImageIsTheSourceToOpen) {
    test::TempDir dir;
    const std::string image = dir / "card image.img";
    test::WriteFile(image, std::string(4096, '\0'));
    const CommandLine parsed = ParseCommandLine({image});
    EXPECT_FALSE(parsed.addsig);
    EXPECT_FALSE(parsed.createSignature);
    EXPECT_EQ(parsed.imagePath, image);
    EXPECT_TRUE(ParseCommandLine({"/cs"}).createSignature);
    EXPECT_TRUE(ParseCommandLine({image, "--analyze", "--shots", dir.path()}).analyze);
}

}  // namespace
}  // namespace vx
