// A file of a lost folder, found in the explorer's tree below "Lost folders"
// and recovered through the Recover dialog: an NTFS image whose deleted
// folder's record ntfs-3g gave to a new file, so the folder's files name a
// parent that no longer exists.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "device/Volume.h"
#include "fs/Analysis.h"
#include "recovery/RecoveryJob.h"
#include "settings/ProgramSettings.h"
#include "signatures/FileTypeDatabase.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/app/Commands.h"
#include "ui/app/UiNotifier.h"
#include "ui/explorer/ExploreView.h"
#include "ui/explorer/FilesListView.h"
#include "ui/explorer/FilesTreeView.h"
#include "ui/recovery/RecoverDlg.h"
#include "ui/recovery/RecoveryProgressDlg.h"

namespace vx {
namespace {

using test::Quote;

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& prefix) {
    parent->setExpanded(true);
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0).startsWith(prefix)) return parent->child(i);
    return nullptr;
}

TEST(ExplorerLostFolder, FileOfALostFolderRecoveredThroughTheDialogs) {
    if (access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "FUSE is not available here (/dev/fuse missing)";
    test::TempDir dir;
    const std::string image = dir / "ntfs.img", mnt = dir / "mnt", src = dir / "src";
    test::MustRun("mkdir -p " + Quote(mnt) + " " + Quote(src) + " && truncate -s 16M " + Quote(image) +
                  " && mkntfs -F -Q -q " + Quote(image) + " 2>/dev/null");
    if (test::Run("ntfs-3g " + Quote(image) + " " + Quote(mnt)).status != 0)
        GTEST_SKIP() << "ntfs-3g could not mount an image here (FUSE unusable)";
    struct Unmount {
        std::string at;
        ~Unmount() { test::Run("mountpoint -q " + Quote(at) + " && umount " + Quote(at)); }
    } unmount{mnt};
    std::filesystem::create_directories(mnt + "/Folder");
    const std::string bytes = test::RandomBytes(12345, 7);
    test::WriteFile(src + "/photo.bin", bytes);
    test::WriteFile(mnt + "/Folder/photo.bin", bytes);
    test::MustRun("sync && rm -r " + Quote(mnt + "/Folder") + " && umount " + Quote(mnt) + " && ntfs-3g " +
                  Quote(image) + " " + Quote(mnt));
    test::WriteFile(mnt + "/again.txt", "again\n");
    test::MustRun("umount " + Quote(mnt));
    const std::string imageSha = test::Sha256File(image);

    test::ScopedConfig config;
    FileTypes().EnsureLoaded();
    CUiNotifier notifier;
    CExploreView explorer;
    SetNotifier(&notifier);
    notifier.SetOwner(&explorer);
    QObject::connect(&notifier, &CUiNotifier::CollectionChanged, &explorer, &CExploreView::OnCollectionChanged);
    QObject::connect(&notifier, &CUiNotifier::VolumeAdded, &explorer, &CExploreView::OnVolumeAdded);
    Settings().SetFlag(settings_offset::KeepFolderStructure, true);
    explorer.resize(900, 600);
    explorer.show();

    CVolume* volume = explorer.LoadDriveImage(QString::fromStdString(image));
    ASSERT_TRUE(volume);
    ASSERT_TRUE(explorer.OnCommand(ID_DISK_START_ANALYZING));
    ASSERT_TRUE(test::WaitUntil([&] { return !AnalysisController().IsAnalysing(volume); }, 120000,
                                [&] { explorer.OnTimer250(); }));
    QCoreApplication::processEvents();
    explorer.OnTimer250();

    QTreeWidgetItem* drive = explorer.Tree()->DriveItem(volume);
    ASSERT_TRUE(drive);
    QTreeWidgetItem* lostFolders = Child(drive, QStringLiteral("Lost folders"));
    ASSERT_TRUE(lostFolders);
    QTreeWidgetItem* lostFolder = Child(lostFolders, QStringLiteral("lost_folder_"));
    ASSERT_TRUE(lostFolder);
    explorer.Tree()->setCurrentItem(lostFolder);
    explorer.OnTimer250();
    CFilesListModel& model = explorer.List()->Model();
    int row = -1;
    for (int r = 0; r < model.rowCount(); ++r)
        if (model.data(model.index(r, 0), Qt::DisplayRole).toString() == QStringLiteral("photo.bin")) row = r;
    ASSERT_GE(row, 0);
    explorer.List()->selectRow(row);
    ASSERT_TRUE(explorer.HasCurrentObject());

    const std::string out = dir / "out";
    explorer.SetFocusedView(explorer.List());
    ASSERT_TRUE(test::RecoverThroughDialogs(out, [&] { return explorer.OnCommand(ID_FILE_RECOVER); }));
    AnalysisController().StopAnalysis(volume, true);
    SetNotifier(nullptr);

    const std::string found = test::MustRun("cd " + Quote(out) + " && find . -name photo.bin");
    ASSERT_FALSE(found.empty()) << test::MustRun("cd " + Quote(out) + " && find .");
    EXPECT_EQ(test::ReadFile(out + "/" + found.substr(0, found.find('\n'))), bytes);
    EXPECT_EQ(test::Sha256File(image), imageSha) << "the source image changed";
}

}  // namespace
}  // namespace vx
