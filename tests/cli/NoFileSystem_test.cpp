// A source with no file system the program reads: analyze and recover name
// what they found, point at --scan-only and end with status 1; type 0x07 is
// told apart by the boot sector (NTFS, exFAT, or neither).
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

class NoFileSystem : public ::testing::Test {
protected:
    std::string Cli(const std::string& args) {
        return "cd " + Quote(dir_.path()) + " && XDG_CONFIG_HOME=" + Quote(config_.folder()) + " " +
               Quote(test::CliPath()) + " " + args;
    }
    test::TempDir dir_;
    test::ScopedConfig config_;
};

TEST_F(NoFileSystem, NamesWhatWasFoundAndExitsOne) {
    const std::string empty = dir_ / "empty.img", ext = dir_ / "ext.img", zeros = dir_ / "zeros.img";
    MustRun(": > " + Quote(empty) + " && truncate -s 4M " + Quote(zeros) + " && truncate -s 8M " + Quote(ext) +
            " && mkfs.ext4 -q -F " + Quote(ext) + " >/dev/null 2>&1");
    struct Case {
        std::string args;
        std::string found;
    } cases[] = {
        {"analyze " + Quote(empty), "empty.img: no FAT, exFAT or NTFS file system was found (found: an empty source)"},
        {"analyze --fs-only " + Quote(ext), "ext.img: no FAT, exFAT or NTFS file system was found (found: ext2/ext3/ext4)"},
        {"recover " + Quote(ext) + " --to out", "(found: ext2/ext3/ext4)"},
        {"recover " + Quote(zeros) + " --to out", "(found: zeros only)"},
    };
    for (const Case& c : cases) {
        test::CommandResult r = test::Run(Cli(c.args));
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_NE(r.err.find(c.found), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find("--scan-only looks for lost files by their content"), std::string::npos) << r.err;
    }
    // Looking by content is what the message offers: it says nothing then.
    test::CommandResult scan = test::Run(Cli("analyze --scan-only " + Quote(ext)));
    EXPECT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(scan.err.find("no FAT"), std::string::npos) << scan.err;
}

TEST_F(NoFileSystem, TypeSevenIsToldApartByItsBootSector) {
    const std::string disk = dir_ / "disk.img", fx = dir_ / "fx.img", nt = dir_ / "nt.img";
    MustRun("truncate -s 64M " + Quote(disk) + " && printf 'label: dos\\nstart=2048, size=30720, type=7\\n" +
            "start=32768, size=30720, type=7\\nstart=65536, size=20480, type=7\\n' | sfdisk -q " + Quote(disk));
    MustRun("truncate -s 15M " + Quote(fx) + " && mkfs.exfat " + Quote(fx) + " >/dev/null && dd if=" + Quote(fx) +
            " of=" + Quote(disk) + " bs=512 seek=2048 conv=notrunc status=none");
    MustRun("truncate -s 15M " + Quote(nt) + " && mkntfs -F -Q -q -p 32768 " + Quote(nt) + " >/dev/null 2>&1 && dd if=" +
            Quote(nt) + " of=" + Quote(disk) + " bs=512 seek=32768 conv=notrunc status=none");
    const std::string json = MustRun(Cli("info --json " + Quote(disk)));
    EXPECT_NE(json.find("{\"start\": 1048576, \"type\": 7, \"type_code\": 7, \"total_bytes\": 15728640, "
                        "\"fs_name\": \"exFAT\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("{\"start\": 16777216, \"type\": 7, \"type_code\": 7, \"total_bytes\": 15728640, "
                        "\"fs_name\": \"NTFS\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("{\"start\": 33554432, \"type\": 7, \"type_code\": 0, \"total_bytes\": 10485760, "
                        "\"fs_name\": \"Unknown\""),
              std::string::npos)
        << json;
    test::CommandResult r = test::Run(Cli("analyze --fs-only --all-partitions " + Quote(disk)));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("disk.img partition 3: no FAT, exFAT or NTFS file system was found (found: zeros only)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("partition 1: no FAT"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("partition 2: no FAT"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vx
