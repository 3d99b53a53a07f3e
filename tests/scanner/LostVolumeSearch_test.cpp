// The lost-volume search over a disk image whose partition table was zeroed,
// and over a FAT32 volume image.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/AnalysisState.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

struct FoundVolume {
    uint64_t start;
    uint32_t typeCode;
    bool operator==(const FoundVolume&) const = default;
    bool operator<(const FoundVolume& o) const { return start < o.start; }
};

std::vector<FoundVolume> FoundBelow(CVolume& volume) {
    std::vector<FoundVolume> out;
    for (CVolume* child : volume.Children())
        if (child->kind == VolumeKind::Found) out.push_back({child->rootRecord.start, child->typeCode});
    std::sort(out.begin(), out.end());
    return out;
}

class LostVolumeSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        disk_ = *dir_ / "disk.img";
        const std::string d = Quote(disk_);
        MustRun("truncate -s 96M " + d);
        MustRun("printf 'label: dos\\n"
                "start=2048, size=16384, type=6\\n"
                "start=18432, size=81920, type=c\\n"
                "start=100352, size=81920, type=b\\n' | sfdisk -q " + d);
        MustRun("mkfs.fat -F 16 -s 1 --offset=2048 -n FAT16VOL " + d + " 8192 >/dev/null");
        MustRun("mkfs.fat -F 32 -s 1 --offset=18432 -n FIRST " + d + " 40960 >/dev/null");
        MustRun("mkfs.fat -F 32 -s 1 --offset=100352 -n SECOND " + d + " 40960 >/dev/null");
        // Wipe the partition table (the whole first sector).
        MustRun("dd if=/dev/zero of=" + d + " bs=512 count=1 conv=notrunc status=none");
        volume_ = *dir_ / "fat32.img";
        MustRun("mkfs.fat -C -F 32 -s 1 -n ALONE " + Quote(volume_) + " 40960 >/dev/null");
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    static void Search(CVolume& volume) {
        ASSERT_EQ(Computer().SearchLostDisks(volume), 1);
        volume.WaitForSectorAnalysis();
    }

    test::ScopedConfig config_;
    static test::TempDir* dir_;
    static std::string disk_, volume_;
};

test::TempDir* LostVolumeSearchTest::dir_ = nullptr;
std::string LostVolumeSearchTest::disk_, LostVolumeSearchTest::volume_;

TEST_F(LostVolumeSearchTest, ZeroedPartitionTableFindsEveryPartitionOnce) {
    const std::string before = test::Sha256File(disk_);
    CVolume* disk = Computer().LoadImage(disk_);
    ASSERT_TRUE(disk);
    ASSERT_TRUE(FoundBelow(*disk).empty());  // the table is gone
    test::LogMark mark;
    Search(*disk);

    // A FAT32 backup boot sector names the volume its primary already gave.
    const std::vector<FoundVolume> expected = {{2048 * 512, 4}, {18432 * 512, 11}, {100352 * 512, 11}};
    EXPECT_EQ(FoundBelow(*disk), expected);
    EXPECT_TRUE(mark.Contains("Found FAT16 volume at: 1048576"));
    EXPECT_TRUE(mark.Contains("Found FAT32 volume at: 9437184"));
    EXPECT_FALSE(mark.Contains("Found FAT32 volume at: 9440256"));
    EXPECT_TRUE(mark.Contains("Found FAT32 volume at: 51380224"));
    EXPECT_TRUE(mark.Contains("Analyze Finished. Found 0 folder(s) and 0 file(s)."));
    // Found volumes read their own boot sectors.
    for (CVolume* child : disk->Children()) {
        if (child->rootRecord.start == 18432 * 512) {
            EXPECT_EQ(child->label.substr(0, 5), "FIRST");
        }
    }
    EXPECT_EQ(disk->collection.Count(), expected.size());  // the volume nodes, no lost files
    EXPECT_EQ(disk->searchOnly.load(), 1u);
    EXPECT_EQ(disk->state.load(), VolumeState::Ready);
    EXPECT_EQ(TheAnalysisState().running.load(), 0);  // the next analysis may start
    EXPECT_EQ(test::Sha256File(disk_), before);
}

TEST_F(LostVolumeSearchTest, VolumeItselfIsMarkedByItsBootSectorAndItsBackup) {
    CVolume* volume = Computer().LoadImage(volume_);
    ASSERT_TRUE(volume);
    ASSERT_EQ(volume->typeCode, 11u);
    Search(*volume);
    EXPECT_TRUE(volume->rootRecord.Is(object_flag::SeenAgain));
    EXPECT_TRUE(FoundBelow(*volume).empty());
}

TEST_F(LostVolumeSearchTest, CommandLineListsEveryVolumeFound) {
    test::CommandResult json = test::Run(Quote(test::CliPath()) + " search-lost " + Quote(disk_) + " --json");
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out,
              "{\"start\": 1048576, \"type_code\": 4, \"fs_name\": \"FAT16\", \"label\": \"FAT16VOL\", \"total_bytes\": 8388608}\n"
              "{\"start\": 9437184, \"type_code\": 11, \"fs_name\": \"FAT32\", \"label\": \"FIRST\", \"total_bytes\": 41943040}\n"
              "{\"start\": 51380224, \"type_code\": 11, \"fs_name\": \"FAT32\", \"label\": \"SECOND\", \"total_bytes\": 41943040}\n");
    test::CommandResult table = test::Run(Quote(test::CliPath()) + " search-lost " + Quote(disk_));
    ASSERT_EQ(table.status, 0);
    EXPECT_NE(table.out.find("51380224"), std::string::npos);
    EXPECT_EQ(test::Run(Quote(test::CliPath()) + " search-lost " + Quote(*dir_ / "missing.img")).status, 2);
}

TEST_F(LostVolumeSearchTest, StopEndsTheSearch) {
    CVolume* disk = Computer().LoadImage(disk_);
    ASSERT_TRUE(disk);
    ASSERT_EQ(Computer().SearchLostDisks(*disk), 1);
    TheAnalysisState().running = 0;
    disk->WaitForSectorAnalysis();
    EXPECT_EQ(disk->state.load(), VolumeState::Ready);
}

}  // namespace
}  // namespace vx
