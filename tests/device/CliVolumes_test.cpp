// vornex-cli info and drives on real images and on this machine's disks.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

std::string Cli(const std::string& arguments) { return Quote(test::CliPath()) + " " + arguments; }

TEST(CliVolumes, InfoJsonDescribesAVolume) {
    test::TempDir dir;
    const std::string image = dir / "fat32.img";
    MustRun("mkfs.fat -C -F 32 -s 2 -n 'HOLIDAY' -i 0C0FFEE0 " + Quote(image) + " 66000");
    const std::string json = MustRun(Cli("info --json " + Quote(image)));
    EXPECT_NE(json.find("\"display_name\": \"fat32.img\", \"kind\": \"Volume Image\", \"type_code\": 11, "
                        "\"fs_name\": \"FAT32\", \"label\": \"HOLIDAY\", \"serial\": \"C0FFEE0\", "
                        "\"total_bytes\": 67584000, \"total_sectors\": 132000, \"sectors_per_cluster\": 2, "
                        "\"bytes_per_cluster\": 1024, \"container\": \"raw\", \"stored_hash\": \"\", \"verification\": \"\", "
                        "\"partitions\": []}"),
              std::string::npos)
        << json;
}

TEST(CliVolumes, InfoListsThePartitionsOfADiskImage) {
    test::TempDir dir;
    const std::string disk = dir / "disk.img";
    MustRun("truncate -s 64M " + Quote(disk) +
            " && printf 'label: dos\\nstart=2048, size=20480, type=e\\nstart=22528, size=100000, type=5\\n"
            "start=24576, size=80000, type=b\\n' | sfdisk -q " + Quote(disk) +
            " && mkfs.fat -F 16 -s 1 -n FIRST --offset=2048 " + Quote(disk) + " 10240" +
            " && mkfs.fat -F 32 -s 1 -n INNER --offset=24576 " + Quote(disk) + " 40000");
    const std::string json = MustRun(Cli("info --json " + Quote(disk)));
    EXPECT_NE(json.find("\"type_code\": 0, \"fs_name\": \"Unknown\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"partitions\": [{\"start\": 1048576, \"type\": 14, \"type_code\": 4, \"total_bytes\": 10485760, "
                        "\"fs_name\": \"FAT16\", \"name\": \"\", \"type_guid\": \"\"}, "
                        "{\"start\": 12582912, \"type\": 11, \"type_code\": 11, \"total_bytes\": 40960000, "
                        "\"fs_name\": \"FAT32\", \"name\": \"\", \"type_guid\": \"\"}]"),
              std::string::npos)
        << json;
    const std::string text = MustRun(Cli("info " + Quote(disk)));
    EXPECT_NE(text.find("at byte 12582912       type 0x0B  type code 11  FAT32    INNER"), std::string::npos) << text;
}

TEST(CliVolumes, DrivesListsOneObjectPerLine) {
    test::CommandResult json = test::Run(Cli("drives --json"));
    ASSERT_EQ(json.status, 0) << json.err;
    std::istringstream lines(json.out);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line.front(), '{');
        EXPECT_EQ(line.back(), '}');
        for (const char* field : {"\"display_name\": ", "\"device_path\": \"/dev/", "\"kind\": ", "\"type\": ",
                                  "\"fs_name\": ", "\"total_bytes\": ", "\"state\": "})
            EXPECT_NE(line.find(field), std::string::npos) << line;
        EXPECT_EQ(line.find("/dev/sr"), std::string::npos) << line;
    }
    test::CommandResult table = test::Run(Cli("drives"));
    ASSERT_EQ(table.status, 0);
    EXPECT_EQ(table.out.rfind("NAME", 0), 0u) << table.out;
    EXPECT_EQ(test::Run(Cli("drives /dev/sda")).status, 2);
}

}  // namespace
}  // namespace vx
