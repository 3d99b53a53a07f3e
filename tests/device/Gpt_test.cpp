// Disks with a GUID partition table, made by sgdisk and fdisk: the partitions
// are listed with their names and type GUIDs by info, analyze and the drive
// list, read from the backup table when the primary one is damaged, on 512-
// and 4096-byte logical sectors; recover --all-partitions writes every file
// of a FAT32 and an NTFS partition byte-identical.
#include <filesystem>

#include "common/Strings.h"
#include "tests/device/DiskImages.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

constexpr const char* kBasicData = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
constexpr uint64_t kFatStart = 1u << 20, kNtfsStart = 41u << 20, kPartitionBytes = 40u << 20;

std::string Cli(const test::ScopedConfig& config, const std::string& args) {
    return "XDG_CONFIG_HOME=" + Quote(config.folder()) + " " + Quote(test::CliPath()) + " " + args;
}

class GptDisk : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        disk_ = dir_->path() + "/gpt.img";
        MustRun("truncate -s 100M " + Quote(disk_) + " && sgdisk -o -n 1:2048:+40M -t 1:0700 -c '1:Ünï data' " +
                "-n 2:0:+40M -t 2:0700 -c '2:Win data' " + Quote(disk_) + " >/dev/null");
        test::PutFatVolume(disk_, kFatStart, kPartitionBytes >> 10, "-F 32 -s 1", dir_->path(), "GPTFAT");
        test::PutNtfsVolume(disk_, kNtfsStart, kPartitionBytes, dir_->path(), "GPTNTFS");
    }
    static void TearDownTestSuite() { delete dir_; }

    // A copy of the disk with `bytes` written at `offset`.
    std::string Damaged(const std::string& name, uint64_t offset, const std::string& bytes) {
        const std::string copy = work_ / name;
        std::filesystem::copy_file(disk_, copy);
        MustRun("printf '" + bytes + "' | dd of=" + Quote(copy) + " bs=1 seek=" + std::to_string(offset) +
                " conv=notrunc status=none");
        return copy;
    }

    void ExpectBothPartitions(const std::string& disk) {
        const std::string json = MustRun(Cli(config_, "info --json " + Quote(disk)));
        EXPECT_NE(json.find(Format("{\"start\": %llu, \"type\": 0, \"type_code\": 11, \"total_bytes\": %llu, "
                                   "\"fs_name\": \"FAT32\", \"name\": \"Ünï data\", \"type_guid\": \"%s\"}",
                                   (unsigned long long)kFatStart, (unsigned long long)kPartitionBytes, kBasicData)),
                  std::string::npos)
            << json;
        EXPECT_NE(json.find(Format("{\"start\": %llu, \"type\": 0, \"type_code\": 7, \"total_bytes\": %llu, "
                                   "\"fs_name\": \"NTFS\", \"name\": \"Win data\", \"type_guid\": \"%s\"}",
                                   (unsigned long long)kNtfsStart, (unsigned long long)kPartitionBytes, kBasicData)),
                  std::string::npos)
            << json;
        EXPECT_EQ(json.find("\"start\": 512"), std::string::npos) << "the protective entry is no volume";

        const std::string out = work_ / ("out-" + std::filesystem::path(disk).stem().string());
        test::CommandResult r = test::Run(Cli(config_, "recover " + Quote(disk) + " --all-partitions --to " + Quote(out)));
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.err.find("Partition 1: Volume at: 1048576 (FAT32) \"Ünï data\" " + std::string(kBasicData)),
                  std::string::npos)
            << r.err;
        test::ExpectRecovered(out + "/p1", dir_->path(), "GPTFAT", test::FatFiles());
        test::ExpectRecovered(out + "/p2", dir_->path(), "GPTNTFS", test::NtfsFiles());
    }

    static test::TempDir* dir_;
    static std::string disk_;
    test::TempDir work_;
    test::ScopedConfig config_;
};

test::TempDir* GptDisk::dir_ = nullptr;
std::string GptDisk::disk_;

TEST_F(GptDisk, PartitionsListedAndRecoveredWithTheirNames) {
    const std::string before = test::Sha256File(disk_);
    ExpectBothPartitions(disk_);
    const std::string text = MustRun(Cli(config_, "analyze --fs-only --all-partitions " + Quote(disk_)));
    EXPECT_NE(text.find("p2: Volume at: 42991616 (NTFS) \"Win data\" " + std::string(kBasicData)), std::string::npos)
        << text;
    EXPECT_EQ(test::Sha256File(disk_), before) << "the source changed";
}

TEST_F(GptDisk, DamagedPrimaryTableGivesWayToTheBackup) {
    struct Case {
        const char* name;
        uint64_t offset;
        const char* bytes;
    } cases[] = {
        {"header.img", 512, "\\0\\0\\0\\0\\0\\0\\0\\0"},          // signature gone
        {"headercrc.img", 512 + 0x58, "\\1"},                  // header fails its checksum
        {"entries.img", 1024 + 0x38, "X"},                     // first name changed: the array fails its checksum
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectBothPartitions(Damaged(c.name, c.offset, c.bytes));
    }
}

// fdisk lays the table out in 4096-byte blocks: header at byte 4096, the
// partition's first block 256 at byte 1 MiB.
TEST(GptDisk4k, PartitionOnFourKilobyteSectors) {
    test::TempDir dir;
    test::ScopedConfig config;
    const std::string disk = dir / "4k.img";
    MustRun("truncate -s 64M " + Quote(disk) + " && printf 'g\\nn\\n1\\n256\\n+40M\\nt\\n11\\nx\\nn\\nfour k\\nr\\nw\\n' | " +
            "fdisk -b 4096 " + Quote(disk) + " >/dev/null 2>&1");
    test::PutFatVolume(disk, 1u << 20, 40960, "-F 16 -s 1", dir.path(), "FOURK", 4096);
    const std::string json = MustRun(Cli(config, "info --json " + Quote(disk)));
    EXPECT_NE(json.find("\"partitions\": [{\"start\": 1048576, \"type\": 0, \"type_code\": 4, \"total_bytes\": 41943040, "
                        "\"fs_name\": \"FAT16\", \"name\": \"four k\", \"type_guid\": \"" +
                        std::string(kBasicData) + "\"}]"),
              std::string::npos)
        << json;
    // Its backup header is the disk's last 4096-byte block.
    MustRun("dd if=/dev/zero of=" + Quote(disk) + " bs=4096 seek=1 count=1 conv=notrunc status=none");
    const std::string out = dir / "out";
    test::CommandResult r = test::Run(Cli(config, "recover " + Quote(disk) + " --all-partitions --to " + Quote(out)));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    test::ExpectRecovered(out + "/p1", dir.path(), "FOURK", test::FatFiles());
}

// The drive list names a GUID partition of a loop device and its type.
TEST_F(GptDisk, DriveListShowsNameAndType) {
    test::CommandResult attach = test::Run("losetup -f --show -P -r " + Quote(disk_));
    if (attach.status != 0) GTEST_SKIP() << "no loop device available: " << attach.err;
    const std::string loop = attach.out.substr(0, attach.out.find('\n'));
    struct Detach {
        std::string dev;
        ~Detach() { test::Run("losetup -d " + Quote(dev)); }
    } detach{loop};
    test::Run("udevadm settle 2>/dev/null");
    if (!std::filesystem::exists(loop + "p1")) GTEST_SKIP() << "the kernel made no partition device for " << loop;
    const std::string json = MustRun(Cli(config_, "drives --json"));
    EXPECT_NE(json.find("\"device_path\": \"" + loop + "p1\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"partition_name\": \"Ünï data\", \"partition_type_guid\": \"" + std::string(kBasicData) + "\""),
              std::string::npos)
        << json;
}

}  // namespace
}  // namespace vx
