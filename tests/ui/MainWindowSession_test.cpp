// The whole main window driven as a user would: an image loaded, Analyze from
// the main window's command, a deleted file found in the tree and the list,
// Recover from the main window's command through the dialogs, the bytes
// compared, the source unchanged.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "fs/Analysis.h"
#include "recovery/RecoveryJob.h"
#include "settings/ProgramSettings.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/app/App.h"
#include "ui/app/Commands.h"
#include "ui/app/MainFrame.h"
#include "ui/explorer/ExploreView.h"
#include "ui/explorer/FilesListView.h"
#include "ui/explorer/FilesTreeView.h"
#include "ui/recovery/RecoverDlg.h"
#include "ui/recovery/RecoveryProgressDlg.h"

namespace vx {
namespace {

using test::Quote;

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text) {
    parent->setExpanded(true);
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text) return parent->child(i);
    return nullptr;
}

TEST(MainWindowSession, DeletedFileRecoveredThroughTheMainWindow) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string image = dir / "card.img", gone = dir / "gone.bin";
    test::WriteFile(gone, test::RandomBytes(7000, 9));
    test::MustRun("mkfs.fat -C -F 16 -s 4 " + Quote(image) + " 16384 >/dev/null && MTOOLS_SKIP_CHECK=1 mmd -i " +
                  Quote(image) + " ::/Old && MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(image) + " " + Quote(gone) +
                  " ::/Old/ && MTOOLS_SKIP_CHECK=1 mdel -i " + Quote(image) + " ::/Old/gone.bin");
    const std::string imageSha = test::Sha256File(image);

    auto app = std::make_unique<CApp>();
    app->SetRunLoop(false);
    app->SwitchMode(ID_MODE_MAIN);
    CMainFrame* frame = app->Frame();
    ASSERT_NE(frame, nullptr);
    Settings().SetFlag(settings_offset::KeepFolderStructure, true);
    CExploreView* explorer = frame->Explorer();
    CVolume* volume = explorer->LoadDriveImage(QString::fromStdString(image));
    ASSERT_TRUE(volume);
    app->OnIdle();
    ASSERT_TRUE(frame->OnCommand(ID_DISK_START_ANALYZING));
    ASSERT_TRUE(test::WaitUntil([&] { return !AnalysisController().IsAnalysing(volume); }, 120000,
                                [&] { frame->OnTimer250(); }));
    QCoreApplication::processEvents();
    frame->OnTimer250();

    QTreeWidgetItem* drive = explorer->Tree()->DriveItem(volume);
    ASSERT_TRUE(drive);
    drive->setExpanded(true);
    QTreeWidgetItem* root = drive->child(0);
    ASSERT_TRUE(root);
    QTreeWidgetItem* old = Child(root, QStringLiteral("Old"));
    ASSERT_TRUE(old);
    explorer->Tree()->setCurrentItem(old);
    frame->OnTimer250();
    CFilesListModel& model = explorer->List()->Model();
    int row = -1;
    for (int r = 0; r < model.rowCount(); ++r)
        if (model.data(model.index(r, 0), Qt::DisplayRole).toString() == QStringLiteral("_one.bin")) row = r;
    ASSERT_GE(row, 0);
    explorer->List()->selectRow(row);
    explorer->SetFocusedView(explorer->List());
    ASSERT_TRUE(explorer->HasCurrentObject());

    const std::string out = dir / "out";
    ASSERT_TRUE(test::RecoverThroughDialogs(out, [&] { return frame->OnCommand(ID_FILE_RECOVER); }));
    EXPECT_EQ(test::ReadFile(out + "/Old/_one.bin"), test::ReadFile(gone));
    EXPECT_EQ(test::Sha256File(image), imageSha) << "the source image changed";

    Settings().SetFlag(settings_offset::ConfirmShutdown, false);
    frame->close();
    QApplication::processEvents();
}

}  // namespace
}  // namespace vx
