// The sector source: retries, short reads, raw object reads, names and paths.
#include <sys/inotify.h>  // IN_CLOSE_NOWRITE
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::LogMark;
using test::ScopedConfig;
using test::ScopedFaultySectors;
using test::TempDir;

class VolumeTest : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = dir_ / "disk.img";
        content_ = test::RandomBytes(100 * 512 + 100, 42);  // 100 sectors and a partial one
        test::WriteFile(image_, content_);
        volume_ = Computer().OpenSource(image_);
        ASSERT_TRUE(volume_);
    }
    TempDir dir_;
    ScopedConfig config_;
    std::string image_, content_;
    std::unique_ptr<CVolume> volume_;
};

TEST_F(VolumeTest, ImageDescriptor) {
    EXPECT_EQ(volume_->kind, VolumeKind::Image);
    EXPECT_EQ(volume_->driveType, kDriveImage);
    EXPECT_EQ(volume_->DisplayName(), "disk.img");
    EXPECT_EQ(volume_->DevicePath(), image_);
    EXPECT_EQ(volume_->totalBytes, content_.size());
    EXPECT_EQ(volume_->totalSectors, 100u);
    EXPECT_LT(volume_->Id(), -30);
}

TEST_F(VolumeTest, ReadsWholeSectorsAtTheirPosition) {
    std::string buf(3 * 512, '\0');
    ASSERT_EQ(volume_->ReadSectors(buf.data(), 5, 3), 3 * 512u);
    EXPECT_EQ(buf, content_.substr(5 * 512, 3 * 512));
}

TEST_F(VolumeTest, CountZeroReturnsZeroWithoutReading) {
    volume_->Close();
    LogMark mark;
    char buf[512];
    EXPECT_EQ(volume_->ReadSectors(buf, 0, 0), 0u);
    EXPECT_FALSE(volume_->IsOpen());
    EXPECT_TRUE(mark.NewLines().empty());
}

TEST_F(VolumeTest, ShortReadAtTheEndIsSuccessWithTheShortCount) {
    std::string buf(4 * 512, '\0');
    EXPECT_EQ(volume_->ReadSectors(buf.data(), 100, 4), 100u);
    EXPECT_EQ(buf.substr(0, 100), content_.substr(100 * 512));
}

TEST_F(VolumeTest, FoundVolumeReadsItsParentAtItsOffset) {
    CVolume found(VolumeKind::Found, kDriveFound);
    found.parent = volume_.get();
    found.startOffset = 32256;
    EXPECT_EQ(found.DisplayName(), "Volume at: 32256");
    EXPECT_EQ(found.DevicePath(), image_);
    char buf[512];
    ASSERT_EQ(found.ReadSectors(buf, 1, 1), 512u);
    EXPECT_EQ(std::string(buf, 512), content_.substr(32256 + 512, 512));
}

struct RetryCase {
    uint32_t retries;
    int attempts;
};

class RetryTest : public VolumeTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(RetryTest, FailingSectorIsTriedRetriesPlusOneTimes) {
    Settings().SetWord(settings_offset::RetryAttempts, GetParam().retries);
    Settings().SetWord(settings_offset::RetryPause, 20);
    ScopedFaultySectors faults(image_, {7});
    volume_->Close();
    LogMark mark;
    char buf[2 * 512];
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(volume_->ReadSectors(buf, 6, 2), 0u);
    auto elapsed = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(faults.failures(), uint64_t(GetParam().attempts));
    EXPECT_GE(elapsed, std::chrono::milliseconds(20 * GetParam().attempts));
    std::vector<std::string> lines = mark.NewLines();
    ASSERT_EQ(lines.size(), size_t(GetParam().attempts));
    for (int i = 0; i < GetParam().attempts; ++i)
        EXPECT_NE(lines[size_t(i)].find("ERR: Volume disk.img at position 3072 not readed, try retry " +
                                        std::to_string(i)),
                  std::string::npos)
            << lines[size_t(i)];
}

INSTANTIATE_TEST_SUITE_P(Attempts, RetryTest, ::testing::Values(RetryCase{0, 1}, RetryCase{3, 4}));

TEST_F(VolumeTest, FileReadRoundsToSectorsAndReturnsTheSizeAsked) {
    FoundObject object;
    object.start = 2 * 512;
    std::string buf(4 * 512, '\0');
    EXPECT_EQ(volume_->FileRead(object, buf.data(), 512, 1000), 1000u);
    EXPECT_EQ(buf.substr(0, 1000), content_.substr(3 * 512, 1000));
    EXPECT_EQ(buf.substr(1000, 24), std::string(24, '\0')) << "nothing past the size asked is written";
    EXPECT_EQ(volume_->FileRead(object, buf.data(), 0, 1024), 1024u);
    EXPECT_EQ(volume_->FileRead(object, buf.data(), 0, 0), 0u);
}

TEST_F(VolumeTest, FileReadOfUnreadableSectorsLogsAndFails) {
    Settings().SetWord(settings_offset::RetryAttempts, 0);
    ScopedFaultySectors faults(image_, {3});
    volume_->Close();
    LogMark mark;
    FoundObject object;
    object.start = 3 * 512;
    char buf[512];
    EXPECT_EQ(volume_->FileRead(object, buf, 0, 512), 0u);
    EXPECT_TRUE(mark.Contains("ERR: CVolume.FileRead: Can't read sector at: 3"));
}

TEST_F(VolumeTest, MissingSourceLogsTheOpenError) {
    CVolume missing(VolumeKind::Image, kDriveImage);
    missing.devicePath = dir_ / "nothing.img";
    LogMark mark;
    EXPECT_EQ(missing.OpenDrive(), 0);
    EXPECT_TRUE(mark.Contains("Can't open volume '" + missing.devicePath +
                              "', System Error: No such file or directory"));
}

TEST(VolumeNames, DisplayNamesByKind) {
    CVolume logical(VolumeKind::Logical, kDriveFixed);
    logical.kernelName = "sdb1";
    EXPECT_EQ(logical.DisplayName(), "sdb1");
    logical.label = "  DATA ";
    EXPECT_EQ(logical.DisplayName(), "sdb1 (DATA)");
    CVolume disk(VolumeKind::Physical, kDriveFixed);
    disk.description = "Drive 0, ATA, Samsung SSD";
    EXPECT_EQ(disk.DisplayName(), "Drive 0, ATA, Samsung SSD");
    CVolume node(VolumeKind::ComputerNode, 0);
    EXPECT_EQ(node.DisplayName(), "");
}

TEST(VolumeNames, ObjectFolderPathWalksUpToTheRoot) {
    CVolume volume(VolumeKind::Logical, kDriveFixed);
    volume.kernelName = "sdb1";
    CFoundObjectList& list = volume.collection;
    list.rootId = 2;
    auto add = [&](int32_t id, int32_t parent, const char* name, uint16_t flags) {
        auto* r = new FoundObject;
        r->id = id;
        r->parent = parent;
        r->name = list.OwnName(name);
        r->flags = flags;
        list.Add(r, true);
        return r;
    };
    add(2, volume.Id(), ".", object_flag::Folder);
    add(10, 2, "Docs", object_flag::Folder);
    add(11, 10, "Old", object_flag::Folder);
    FoundObject* file = add(12, 11, "letter.txt", 0);
    add(11, 2, "old-deleted.txt", object_flag::Deleted);  // shares the folder's first cluster
    FoundObject* top = add(13, 2, "readme.txt", 0);
    EXPECT_EQ(volume.ObjectFolderPath(*file), "sdb1:/Docs/Old/");
    EXPECT_EQ(volume.ObjectFolderPath(*top), "sdb1:/");
    FoundObject root;
    root.id = 2;
    EXPECT_EQ(volume.ObjectFolderPath(root), "sdb1:/");
    // A lost file: group folder, "Lost files", then the volume's own node.
    volume.rootRecord.parent = object_id::Computer;
    list.Add(&volume.rootRecord, true);
    add(object_id::LostFiles, volume.Id(), "Lost files", object_flag::Folder);
    add(-50, object_id::LostFiles, "Pictures", object_flag::Folder);
    FoundObject* lost = add(60, -50, "jpg_1048576.jpg", object_flag::FoundByContent);
    EXPECT_EQ(volume.ObjectFolderPath(*lost), "sdb1:/Lost files/Pictures/");
    // A loop in the parent ids ends the walk.
    add(20, 21, "a", object_flag::Folder);
    add(21, 20, "b", object_flag::Folder);
    FoundObject* looped = add(22, 20, "x", 0);
    EXPECT_EQ(volume.ObjectFolderPath(*looped), "sdb1:/b/a/");
}

// Opens a read-only image, reads all of it, and checks with inotify that it
// was never opened for writing and that its bytes did not change.
TEST(ReadOnlySource, ImageIsNeverOpenedForWriting) {
    TempDir dir;
    ScopedConfig config;
    std::string image = dir / "ro.img";
    test::WriteFile(image, test::RandomBytes(1 << 20, 7));
    ASSERT_EQ(chmod(image.c_str(), 0444), 0);
    std::string before = test::Sha256File(image);

    test::SourceWatch watch(image);
    {
        auto volume = Computer().OpenSource(image);
        ASSERT_TRUE(volume);
        std::vector<char> buf(2048 * 512);
        EXPECT_EQ(volume->ReadSectors(buf.data(), 0, 2048), 1u << 20);
        volume->ReadBootSector();
    }
    EXPECT_TRUE(watch.Seen() & IN_CLOSE_NOWRITE);
    EXPECT_TRUE(watch.ReadOnly());
    EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace vx
