// vornex-cli analyze: the tree, the JSON lines, partitions of a whole disk.
#include <gtest/gtest.h>

#include "tests/fs/FatFixture.h"

namespace vx {
namespace {

using test::Quote;

class AnalyzeCliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        const std::string src = *dir_ / "src";
        test::MustRun("mkdir -p " + Quote(src));
        test::WriteFile(src + "/old report.txt", std::string(2000, 'o'));
        test::WriteFile(src + "/keep.txt", "keep\n");
        test::WriteFile(src + "/second.txt", "two\n");
        test::MustRun("touch -d '2021-06-15 10:20:30 UTC' " + Quote(src + "/old report.txt"));
        image_ = *dir_ / "fat16.img";
        const std::string i = "-i " + Quote(image_) + " ";
        test::MustRun("mkfs.fat -C -F 16 " + Quote(image_) + " 16384 >/dev/null && " +
                      test::Mtools("mmd " + i + "::/DOCS ::/DOCS/SUB") + " && " +
                      test::Mtools("mcopy -m " + i + Quote(src + "/old report.txt") + " " + Quote(src + "/keep.txt") +
                                   " ::/DOCS/SUB/") +
                      " && " + test::Mtools("mdel " + i + Quote("::/DOCS/SUB/old report.txt")));
        // A disk with two FAT partitions.
        disk_ = *dir_ / "disk.img";
        test::MustRun("truncate -s 40M " + Quote(disk_) + " && printf 'start=2048, size=30000, type=6\\nstart=34816, type=e\\n' | sfdisk -q " +
                      Quote(disk_) + " && mkfs.fat -F 16 --offset 2048 " + Quote(disk_) + " 15000 >/dev/null && " +
                      "mkfs.fat -F 16 --offset 34816 " + Quote(disk_) + " 15000 >/dev/null && " +
                      test::Mtools("mcopy -i " + Quote(disk_ + "@@1M") + " " + Quote(src + "/keep.txt") + " ::/") + " && " +
                      test::Mtools("mcopy -i " + Quote(disk_ + "@@" + std::to_string(34816 * 512)) + " " +
                                   Quote(src + "/second.txt") + " ::/"));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static test::CommandResult Cli(const std::string& args) {
        return test::Run("XDG_CONFIG_HOME=" + Quote(*dir_ / "config") + " " + Quote(test::CliPath()) + " analyze " + args);
    }
    static test::TempDir* dir_;
    static std::string image_, disk_;
};

test::TempDir* AnalyzeCliTest::dir_ = nullptr;
std::string AnalyzeCliTest::image_, AnalyzeCliTest::disk_;

TEST_F(AnalyzeCliTest, PrintsAnIndentedTreeWithDeletedMarks) {
    test::CommandResult r = Cli(Quote(image_));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n  DOCS/\n    SUB/\n      keep.txt  5\n      old report.txt  2000  deleted\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no progress line when stderr is not a terminal";
}

TEST_F(AnalyzeCliTest, PrintsOneJsonObjectPerLine) {
    test::CommandResult r = Cli(Quote(image_) + " --json --fs-only");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string old;
    size_t lines = 0;
    for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = r.out.substr(at, end - at);
        ++lines;
        for (const char* key : {"\"id\": ", "\"parent\": ", "\"name\": ", "\"path\": ", "\"folder\": ", "\"deleted\": ",
                                "\"lost\": ", "\"found_by_content\": ", "\"start\": ", "\"size\": ", "\"type\": ",
                                "\"type_name\": ", "\"created\": ", "\"modified\": ", "\"accessed\": "})
            EXPECT_NE(line.find(key), std::string::npos) << key << " in " << line;
        if (line.find("old report") != std::string::npos) old = line;
    }
    EXPECT_EQ(lines, 4u) << r.out;
    EXPECT_NE(old.find("\"path\": \"/DOCS/SUB/old report.txt\""), std::string::npos) << old;
    EXPECT_NE(old.find("\"deleted\": true, \"lost\": false"), std::string::npos) << old;
    EXPECT_NE(old.find("\"size\": 2000"), std::string::npos) << old;
    EXPECT_NE(old.find("\"modified\": \"2021-06-15T10:20:30\""), std::string::npos) << old;
    EXPECT_NE(r.out.find("\"type_name\": \"Folder\""), std::string::npos);
}

TEST_F(AnalyzeCliTest, LostFilesFromTheSectorScanAreListedUnderLostFiles) {
    const std::string image = *dir_ / "lost.img";
    test::MustRun("cp " + Quote(image_) + " " + Quote(image) +
                  " && printf '8BPS\\000\\001\\000\\000' | dd of=" + Quote(image) +
                  " bs=512 seek=20000 conv=notrunc status=none");
    test::CommandResult tree = Cli(Quote(image));
    ASSERT_EQ(tree.status, 0) << tree.err;
    EXPECT_NE(tree.out.find("\n  Lost files/\n    Images/\n      image_10240000.PSD  ?  deleted\n"), std::string::npos)
        << tree.out;
    test::CommandResult json = Cli(Quote(image) + " --json");
    EXPECT_NE(json.out.find("\"path\": \"/Lost files/Images/image_10240000.PSD\", \"folder\": false, \"deleted\": true, "
                            "\"lost\": true, \"found_by_content\": true, \"start\": 10240000, \"size\": null"),
              std::string::npos)
        << json.out;
    EXPECT_EQ(Cli(Quote(image) + " --fs-only").out.find("Lost files"), std::string::npos);
}

TEST_F(AnalyzeCliTest, AWholeDiskAnalysesItsPartitions) {
    test::CommandResult first = Cli(Quote(disk_));
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.err.find("Analysing partition 1"), std::string::npos) << first.err;
    EXPECT_NE(first.out.find("keep.txt"), std::string::npos);
    EXPECT_EQ(first.out.find("second.txt"), std::string::npos);

    test::CommandResult second = Cli(Quote(disk_) + " --partition 2 --json");
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("\"path\": \"/second.txt\""), std::string::npos) << second.out;

    test::CommandResult all = Cli(Quote(disk_) + " --all-partitions --json");
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_NE(all.out.find("\"path\": \"p1:/keep.txt\""), std::string::npos) << all.out;
    EXPECT_NE(all.out.find("\"path\": \"p2:/second.txt\""), std::string::npos) << all.out;

    test::CommandResult tree = Cli(Quote(disk_) + " --all-partitions");
    EXPECT_NE(tree.out.find("p1: "), std::string::npos) << tree.out;
    EXPECT_NE(tree.out.find("p2: "), std::string::npos) << tree.out;

    EXPECT_EQ(Cli(Quote(disk_) + " --partition 3").status, 2);
    EXPECT_EQ(Cli(Quote(disk_) + " --partition 1 --all-partitions").status, 2);
    EXPECT_EQ(Cli("").status, 2);
}

}  // namespace
}  // namespace vx
