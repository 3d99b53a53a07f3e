// A session in the explorer on a FAT image made by mkfs.fat and mtools: load
// it, analyse it, find a deleted file and a lost file found by content in the
// tree and in the list, recover each through the Recover dialog and compare
// its bytes; the source image is unchanged afterwards.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QButtonGroup>
#include <QComboBox>
#include <zlib.h>

#include "device/Volume.h"
#include "fs/Analysis.h"
#include "recovery/RecoveryJob.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "signatures/FileTypeDatabase.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/app/Commands.h"
#include "ui/app/UiNotifier.h"
#include "ui/explorer/ExploreView.h"
#include "ui/explorer/FilesListView.h"
#include "ui/explorer/FilesTreeView.h"
#include "ui/explorer/FindInFound.h"
#include "ui/explorer/SearchBarView.h"
#include "ui/recovery/ProbableSizeDlg.h"
#include "ui/recovery/RecoverDlg.h"
#include "ui/recovery/RecoveryProgressDlg.h"

namespace vx {
namespace {

using test::Quote;

const char* kMtools = "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 TZ=UTC ";
constexpr uint64_t kLostPngAt = 10 * 1024 * 1024;

class ExplorerSession : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        image_ = *dir_ / "card.img";
        const std::string src = *dir_ / "src";
        test::MustRun("mkdir -p " + Quote(src));
        test::WriteFile(src + "/report.txt", test::RandomBytes(3000, 1));
        test::WriteFile(src + "/gone.bin", test::RandomBytes(7000, 2));
        test::WriteFile(src + "/keep.txt", test::RandomBytes(100, 3));
        // A PNG whose directory entry no longer exists anywhere: its bytes sit
        // in free space, where only the sector scan finds them.
        // A PNG whose chunk walk stops after a valid IHDR: its size stays unknown.
        const std::string ihdr = std::string("IHDR\0\0\1\0\0\0\1\0\x08\x02\0\0\0", 17);
        const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(ihdr.data()), uInt(ihdr.size())));
        const char crcBytes[4] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
        png_ = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0d", 12) + ihdr + std::string(crcBytes, 4) +
               std::string("\xff\xff\xff\xff", 4) + test::RandomBytes(9000, 4);
        test::WriteFile(src + "/picture.png", png_);
        const std::string m = std::string(kMtools) + "m%s -i " + Quote(image_) + " ";
        auto tool = [&](const char* command) {
            std::string text = m;
            return text.replace(text.find("%s"), 2, command);
        };
        test::MustRun("mkfs.fat -C -F 16 -s 4 " + Quote(image_) + " 16384 >/dev/null");
        test::MustRun("set -e; " + tool("md") + "::/Docs ::/Docs/Old; " + tool("copy") + Quote(src + "/keep.txt") +
                      " ::/; " + tool("copy") + Quote(src + "/report.txt") + " ::/Docs/; " + tool("copy") +
                      Quote(src + "/gone.bin") + " ::/Docs/Old/; " + tool("del") + "::/Docs/Old/gone.bin");
        test::MustRun("dd if=" + Quote(src + "/picture.png") + " of=" + Quote(image_) + " bs=512 seek=" +
                      std::to_string(kLostPngAt / 512) + " conv=notrunc status=none");
        imageSha_ = test::Sha256File(image_);
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(test::Sha256File(image_), imageSha_) << "the source image changed";
        delete dir_;
    }

    void SetUp() override {
        FileTypes().EnsureLoaded();
        SetNotifier(&notifier_);
        notifier_.SetOwner(&explorer_);
        QObject::connect(&notifier_, &CUiNotifier::CollectionChanged, &explorer_, &CExploreView::OnCollectionChanged);
        QObject::connect(&notifier_, &CUiNotifier::VolumeAdded, &explorer_, &CExploreView::OnVolumeAdded);
        Settings().SetFlag(settings_offset::KeepFolderStructure, true);
        explorer_.resize(900, 600);
        explorer_.show();
    }
    void TearDown() override {
        if (volume_) AnalysisController().StopAnalysis(volume_, true);
        SetNotifier(nullptr);
    }

    // Loads the image, runs the whole analysis and waits for its end.
    void Analyse() {
        volume_ = explorer_.LoadDriveImage(QString::fromStdString(image_));
        ASSERT_TRUE(volume_);
        ASSERT_TRUE(explorer_.IsDriveSelected());
        ASSERT_TRUE(explorer_.OnCommand(ID_DISK_START_ANALYZING));
        ASSERT_TRUE(test::WaitUntil([&] { return !AnalysisController().IsAnalysing(volume_); }, 120000,
                                    [&] { explorer_.OnTimer250(); }));
        QCoreApplication::processEvents();
        explorer_.OnTimer250();
    }

    QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text) {
        parent->setExpanded(true);
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == text) return parent->child(i);
        return nullptr;
    }
    int RowNamed(const QString& name) {
        CFilesListModel& model = explorer_.List()->Model();
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.data(model.index(row, 0), Qt::DisplayRole).toString() == name) return row;
        return -1;
    }
    int RowMatching(const QString& suffix) {
        CFilesListModel& model = explorer_.List()->Model();
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.data(model.index(row, 0), Qt::DisplayRole).toString().endsWith(suffix, Qt::CaseInsensitive))
                return row;
        return -1;
    }

    // Recover the selected rows of the file list through the Recover dialog
    // and its progress dialog into `out`.
    void RecoverSelectionTo(const std::string& out) {
        explorer_.SetFocusedView(explorer_.List());
        bool progressDone = false;
        test::WhenShown<COnRecoveryDlg>([out](COnRecoveryDlg* dialog) {
            dialog->destination->setText(QString::fromStdString(out));
            dialog->accept();
            return true;
        });
        test::WhenShown<CRecoveryProgressDlg>([&progressDone](CRecoveryProgressDlg* dialog) {
            if (!dialog->FinishedShown()) return false;
            EXPECT_TRUE(dialog->okButton->isVisible());
            EXPECT_FALSE(dialog->abortButton->isVisible());
            dialog->okButton->click();
            progressDone = true;
            return true;
        });
        ASSERT_TRUE(explorer_.OnCommand(ID_FILE_RECOVER));
        ASSERT_TRUE(test::WaitUntil([&] { return progressDone; }));
        RecoveryJob().Wait();
    }

    static test::TempDir* dir_;
    static std::string image_, imageSha_, png_;
    test::ScopedConfig config_;
    test::TempDir work_;
    CUiNotifier notifier_;
    CExploreView explorer_;
    CVolume* volume_ = nullptr;
};

test::TempDir* ExplorerSession::dir_ = nullptr;
std::string ExplorerSession::image_, ExplorerSession::imageSha_, ExplorerSession::png_;

TEST_F(ExplorerSession, DeletedFileFoundInTreeAndListAndRecovered) {
    Analyse();
    // The analysis opened the drive and selected its root folder on its own;
    // the list filled from live updates shows the root's contents.
    QTreeWidgetItem* drive = explorer_.Tree()->DriveItem(volume_);
    ASSERT_TRUE(drive);
    EXPECT_TRUE(drive->isExpanded());
    EXPECT_EQ(explorer_.CurrentView(), 2);
    QTreeWidgetItem* root = drive->child(0);
    ASSERT_TRUE(root);
    explorer_.Tree()->setCurrentItem(root);
    EXPECT_GE(RowNamed(QStringLiteral("keep.txt")), 0);
    EXPECT_EQ(RowNamed(QStringLiteral("Docs")), 0) << "folders first";

    QTreeWidgetItem* docs = Child(root, QStringLiteral("Docs"));
    ASSERT_TRUE(docs);
    QTreeWidgetItem* old = Child(docs, QStringLiteral("Old"));
    ASSERT_TRUE(old);
    explorer_.Tree()->setCurrentItem(old);
    // A deleted 8.3 entry lost its first character.
    const int row = RowNamed(QStringLiteral("_one.bin"));
    ASSERT_GE(row, 0);
    EXPECT_EQ(explorer_.List()->Model().data(explorer_.List()->Model().index(row, 1), Qt::DisplayRole).toString(),
              QStringLiteral("6 KB"));
    explorer_.List()->selectRow(row);
    ASSERT_TRUE(explorer_.HasCurrentObject());
    EXPECT_TRUE(explorer_.CurrentObject()->IsDeleted());

    const std::string out = work_ / "out";
    RecoverSelectionTo(out);
    const std::string files = test::MustRun("cd " + Quote(out) + " && find . -type f");
    EXPECT_EQ(test::ReadFile(out + "/Docs/Old/_one.bin"), test::ReadFile(*dir_ / "src/gone.bin")) << files;
}

// What an analysis adds reaches the list as it arrives: the array at once, the
// rows the view shows at the next 250 ms refresh; a folder also its tree node.
TEST_F(ExplorerSession, LiveUpdatesReachTheListAtTheNextRefresh) {
    Analyse();
    QTreeWidgetItem* root = explorer_.Tree()->DriveItem(volume_)->child(0);
    ASSERT_TRUE(root);
    explorer_.Tree()->setCurrentItem(root);
    root->setExpanded(true);
    CFilesListModel& model = explorer_.List()->Model();
    const int rows = model.rowCount();
    const int32_t rootId = volume_->collection.rootId;
    FoundObject file;
    file.name = "late.txt";
    file.id = 60000;
    file.parent = rootId;
    file.size = 10;
    file.flags = object_flag::NameAssigned | object_flag::Deleted;
    FoundObject folder = file;
    folder.name = "Late folder";
    folder.id = 60001;
    folder.flags = object_flag::NameAssigned | object_flag::Folder;
    volume_->collection.AddFromFileSystem(file);
    volume_->collection.AddFromFileSystem(folder);
    QCoreApplication::processEvents();
    EXPECT_EQ(model.ArraySize(), size_t(rows + 2));
    EXPECT_EQ(model.rowCount(), rows) << "rows follow only at the refresh";
    EXPECT_TRUE(Child(root, QStringLiteral("Late folder")));
    explorer_.OnTimer250();
    EXPECT_EQ(model.rowCount(), rows + 2);
    EXPECT_GE(RowNamed(QStringLiteral("late.txt")), 0);
    EXPECT_LT(RowNamed(QStringLiteral("Late folder")), RowNamed(QStringLiteral("late.txt")));
}

// The search pane with the form's defaults lists the deleted files; Enter on
// a result opens its folder in the tree and selects its row in the list.
TEST_F(ExplorerSession, SearchFindsDeletedFilesAndEnterShowsThemInTheirFolder) {
    Analyse();
    ASSERT_TRUE(explorer_.OnCommand(ID_VIEW_SEARCH));
    EXPECT_TRUE(explorer_.IsSearchShown());
    EXPECT_EQ(explorer_.CurrentView(), 3);
    CFindInFound* search = explorer_.Search();
    search->Form()->nameEdit->setText(QStringLiteral("*.bin"));
    search->Form()->searchButton->click();
    CFilesListModel& results = search->Results()->Model();
    ASSERT_TRUE(test::WaitUntil([&] { return !search->Running() && results.rowCount() > 0; }, 30000,
                                [&] { explorer_.OnTimer250(); }));
    ASSERT_EQ(results.rowCount(), 1);
    EXPECT_EQ(results.data(results.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("_one.bin"));
    EXPECT_TRUE(results.data(results.index(0, 4), Qt::DisplayRole).toString().endsWith(QStringLiteral("/Docs/Old/")))
        << results.data(results.index(0, 4), Qt::DisplayRole).toString().toStdString();
    search->Results()->selectRow(0);
    QTest::keyClick(search->Results(), Qt::Key_Return);
    EXPECT_EQ(explorer_.CurrentView(), 2);
    ASSERT_TRUE(explorer_.Tree()->currentItem());
    EXPECT_EQ(explorer_.Tree()->currentItem()->text(0), QStringLiteral("Old"));
    ASSERT_TRUE(explorer_.List()->FirstSelected());
    EXPECT_STREQ(explorer_.List()->FirstSelected()->name, "_one.bin");
}

TEST_F(ExplorerSession, LostFileFoundByContentRecoveredWithTheProbableSize) {
    Analyse();
    // The scan named the PNG after its position; the tree opens down to its
    // folder and the list selects its row.
    FoundObject* object = volume_->collection.FindByPosition(kLostPngAt);
    ASSERT_TRUE(object);
    ASSERT_TRUE(explorer_.RevealObject(volume_, object));
    ASSERT_TRUE(explorer_.Tree()->currentItem());
    const std::string folder = volume_->ObjectFolderPath(*object);
    ASSERT_EQ(explorer_.List()->FirstSelected(), object);
    const int row = RowMatching(QStringLiteral(".png"));
    ASSERT_GE(row, 0);
    const QString name = explorer_.List()->Model().data(explorer_.List()->Model().index(row, 0), Qt::DisplayRole).toString();
    EXPECT_TRUE(name.contains(QString::number(kLostPngAt))) << name.toStdString();
    explorer_.SetFocusedView(explorer_.List());
    ASSERT_TRUE(explorer_.HasCurrentObject());
    ASSERT_FALSE(object->SizeKnown());

    // The recovery thread asks for the size; the dialog answers on the UI thread.
    bool asked = false;
    const uint64_t size = png_.size();
    test::WhenShown<CProbableFileSizeDlg>([&asked, size](CProbableFileSizeDlg* dialog) {
        dialog->rules->button(kSizeRuleCustom)->click();
        dialog->customEdit->setText(QString::number(size));
        dialog->unit->setCurrentIndex(0);
        dialog->accept();
        asked = true;
        return true;
    });
    const std::string out = work_ / "lost";
    RecoverSelectionTo(out);
    EXPECT_TRUE(asked);
    const std::string files = test::MustRun("cd " + Quote(out) + " && find . -type f");
    const std::string path = test::MustRun("cd " + Quote(out) + " && find . -type f -name " + Quote(name.toStdString()));
    ASSERT_FALSE(path.empty()) << files;
    EXPECT_EQ(test::ReadFile(out + "/" + path.substr(0, path.find('\n'))), png_) << files;
}

}  // namespace
}  // namespace vx
