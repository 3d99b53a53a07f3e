// Partitions no table lists any more, on a disk made by sfdisk, mkfs.fat,
// mtools, mkntfs and ntfscp whose partition table was wiped: the search
// places a volume found through its backup boot sector at its real start with
// the size its boot sector states, lists each volume once, and
// --lost-partitions and --offset analyse and recover them.
#include "tests/device/DiskImages.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

constexpr uint64_t kFatStart = 2048 * 512, kNtfsStart = 83968 * 512, kPartitionBytes = 40u << 20;

std::string Cli(const test::ScopedConfig& config, const std::string& args) {
    return "XDG_CONFIG_HOME=" + Quote(config.folder()) + " " + Quote(test::CliPath()) + " " + args;
}

void Zero(const std::string& disk, uint64_t sector) {
    MustRun("dd if=/dev/zero of=" + Quote(disk) + " bs=512 count=1 seek=" + std::to_string(sector) +
            " conv=notrunc status=none");
}

class LostPartitions : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        intact_ = dir_->path() + "/wiped-table.img";
        MustRun("truncate -s 100M " + Quote(intact_) + " && printf 'label: dos\\nstart=2048, size=81920, type=c\\n" +
                "start=83968, size=81920, type=7\\n' | sfdisk -q " + Quote(intact_));
        test::PutFatVolume(intact_, kFatStart, kPartitionBytes >> 10, "-F 32 -s 1", dir_->path(), "LOSTFAT");
        test::PutNtfsVolume(intact_, kNtfsStart, kPartitionBytes, dir_->path(), "LOSTNTFS");
        Zero(intact_, 0);
        // The same disk with each volume's own boot sector gone as well: only
        // the backups are left.
        backups_ = dir_->path() + "/backups-only.img";
        MustRun("cp " + Quote(intact_) + " " + Quote(backups_));
        Zero(backups_, kFatStart / 512);
        Zero(backups_, kNtfsStart / 512);
    }
    static void TearDownTestSuite() { delete dir_; }

    static test::TempDir* dir_;
    static std::string intact_, backups_;
    test::TempDir work_;
    test::ScopedConfig config_;
};

test::TempDir* LostPartitions::dir_ = nullptr;
std::string LostPartitions::intact_, LostPartitions::backups_;

// Found through the primary or only through the backup, each volume is listed
// once, at its first byte, as long as its boot sector says.
TEST_F(LostPartitions, EachVolumeOnceAtItsRealStart) {
    for (const std::string* disk : {&intact_, &backups_}) {
        SCOPED_TRACE(*disk);
        test::CommandResult r = test::Run(Cli(config_, "search-lost --json " + Quote(*disk)));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out,
                  "{\"start\": 1048576, \"type_code\": 11, \"fs_name\": \"FAT32\", \"label\": \"LOSTFAT\", "
                  "\"total_bytes\": 41943040}\n"
                  "{\"start\": 42991616, \"type_code\": 7, \"fs_name\": \"NTFS\", \"label\": \"\", "
                  "\"total_bytes\": 41942528}\n");
    }
}

TEST_F(LostPartitions, RecoverLostPartitionsWritesEveryFile) {
    for (const std::string* disk : {&intact_, &backups_}) {
        SCOPED_TRACE(*disk);
        const std::string before = test::Sha256File(*disk);
        const std::string out = work_ / (disk == &intact_ ? "intact" : "backups");
        test::CommandResult r =
            test::Run(Cli(config_, "recover " + Quote(*disk) + " --lost-partitions --to " + Quote(out)));
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        test::ExpectRecovered(out + "/p1", dir_->path(), "LOSTFAT", test::FatFiles());
        test::ExpectRecovered(out + "/p2", dir_->path(), "LOSTNTFS", test::NtfsFiles());
        EXPECT_EQ(test::Sha256File(*disk), before) << "the source changed";
    }
}

TEST_F(LostPartitions, OffsetReadsTheVolumeThere) {
    const std::string info = MustRun(Cli(config_, "info --json --offset " + std::to_string(kNtfsStart) + " " +
                                          Quote(intact_)));
    EXPECT_NE(info.find("\"kind\": \"Found\", \"type_code\": 7, \"fs_name\": \"NTFS\""), std::string::npos) << info;
    EXPECT_NE(info.find("\"total_sectors\": 81919"), std::string::npos) << info;

    const std::string listing = MustRun(Cli(config_, "analyze --fs-only --json --offset " + std::to_string(kFatStart) +
                                             " " + Quote(intact_)));
    EXPECT_NE(listing.find("\"path\": \"/Docs/report.bin\""), std::string::npos) << listing;

    const std::string out = work_ / "fat";
    test::CommandResult r = test::Run(Cli(config_, "recover " + Quote(intact_) + " --offset " +
                                                       std::to_string(kFatStart) + " --to " + Quote(out)));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    test::ExpectRecovered(out, dir_->path(), "LOSTFAT", test::FatFiles());

    struct Bad {
        std::string args;
        int status;
    } bad[] = {
        {"analyze --offset 200000000 " + Quote(intact_), 2},
        {"analyze --offset 1M " + Quote(intact_), 2},
        {"analyze --offset 0 --all-partitions " + Quote(intact_), 2},
    };
    for (const Bad& b : bad) EXPECT_EQ(test::Run(Cli(config_, b.args)).status, b.status) << b.args;
}

}  // namespace
}  // namespace vx
