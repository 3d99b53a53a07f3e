// vornex-cli recover on FAT images made by mkfs.fat and mtools: every live
// file byte-identical at its path (fragmented ones too), deleted files whose
// clusters are still free as well, the selection options, partitions, and
// the refusals.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

const char* kMtools = "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 TZ=UTC ";

struct ImageFile {
    std::string path;  // inside the image
    size_t size;
    bool deleted;      // deleted after everything else was written: its clusters stay free
};

const std::vector<ImageFile> kImageFiles = {
    {"/hello.txt", 12, false},
    {"/Photos/2023/Ünïcödé name.jpg", 5000, false},
    {"/Photos/2023/big.bin", 70000, false},
    {"/Frag/pieces.bin", 20000, false},
    {"/Old/gone for good.txt", 3000, true},
    {"/Old/kept.txt", 100, false},
};

// Builds a FAT image below `dir` from kImageFiles; `/Frag/pieces.bin` is
// written into the hole left by a deleted file, so it is fragmented.
std::string BuildImage(const std::string& dir, const std::string& name, const std::string& mkfs, int kilobytes,
                       bool clearHint) {
    const std::string image = dir + "/" + name + ".img";
    const std::string src = dir + "/" + name + "-src";
    test::MustRun("mkfs.fat -C " + mkfs + " " + Quote(image) + " " + std::to_string(kilobytes) + " >/dev/null");
    uint32_t seed = 11;
    for (const ImageFile& f : kImageFiles) {
        test::MustRun("mkdir -p " + Quote(src + f.path.substr(0, f.path.rfind('/'))));
        test::WriteFile(src + f.path, test::RandomBytes(f.size, seed++));
    }
    test::WriteFile(src + "/filler", test::RandomBytes(4096, 5));
    const std::string i = std::string(kMtools) + "m%s -i " + Quote(image) + " ";
    auto tool = [&](const char* command) {
        std::string text = i;
        return text.replace(text.find("%s"), 2, command);
    };
    auto put = [&](const std::string& from, const std::string& to) {
        return tool("copy") + "-m " + Quote(src + from) + " " + Quote("::" + to) + "; ";
    };
    // FAT32 keeps a next-free hint that would send mtools past the hole.
    const std::string hint = clearHint ? "printf '\\377\\377\\377\\377' | dd of=" + Quote(image) +
                                             " bs=1 seek=1004 conv=notrunc status=none; "
                                       : "";
    std::string script = tool("md") + "::/Photos ::/Photos/2023 ::/Frag ::/Old; ";
    script += put("/filler", "/Frag/a") + put("/filler", "/Frag/hole") + put("/filler", "/Frag/b");
    script += tool("del") + "::/Frag/hole; " + hint;
    for (const ImageFile& f : kImageFiles) script += put(f.path, f.path);
    for (const ImageFile& f : kImageFiles)
        if (f.deleted) script += tool("del") + Quote("::" + f.path) + "; ";
    test::MustRun("set -e; " + script);
    return image;
}

class CmdRecoverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        fat12_ = BuildImage(dir_->path(), "fat12", "-F 12", 1440, false);
        fat16_ = BuildImage(dir_->path(), "fat16", "-F 16 -s 2", 16384, false);
        fat32_ = BuildImage(dir_->path(), "fat32", "-F 32 -s 1", 40000, true);
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::string Source(const std::string& image, const std::string& path) {
        return image.substr(0, image.size() - 4) + "-src" + path;
    }
    test::CommandResult Recover(const std::string& arguments) {
        return test::Run(Quote(test::CliPath()) + " recover " + arguments);
    }
    std::string Files(const std::string& dir) {
        return test::MustRun("cd " + Quote(dir) + " && find . -type f | LC_ALL=C sort");
    }

    static test::TempDir* dir_;
    static std::string fat12_, fat16_, fat32_;
    test::TempDir work_;
    test::ScopedConfig config_;
};

test::TempDir* CmdRecoverTest::dir_ = nullptr;
std::string CmdRecoverTest::fat12_, CmdRecoverTest::fat16_, CmdRecoverTest::fat32_;

TEST_F(CmdRecoverTest, EveryFileByteIdenticalAtItsPath) {
    for (const std::string* image : {&fat12_, &fat16_, &fat32_}) {
        SCOPED_TRACE(*image);
        const std::string before = test::Sha256File(*image);
        const std::string out = work_ / ("out-" + std::to_string(image - &fat12_));
        test::CommandResult r = Recover(Quote(*image) + " --to " + Quote(out));
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        for (const ImageFile& f : kImageFiles)
            EXPECT_EQ(test::Sha256File(out + f.path), test::Sha256File(Source(*image, f.path))) << f.path;
        EXPECT_NE(r.out.find("unreadable sectors: 0"), std::string::npos) << r.out;
        EXPECT_EQ(test::Sha256File(*image), before) << "the source changed";
    }
}

TEST_F(CmdRecoverTest, SelectionOptions) {
    struct Case {
        std::string options;
        std::string files;
    } cases[] = {
        {"--deleted-only --match '*good*'", "./Old/gone for good.txt\n"},
        {"--live-only --match '*.jpg'", "./Photos/2023/Ünïcödé name.jpg\n"},
        {"--live-only --match '/Old/*'", "./Old/kept.txt\n"},
        {"--flat --live-only --match '*.txt'", "./hello.txt\n./kept.txt\n"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string out = work_ / ("sel" + std::to_string(n++));
        test::CommandResult r = Recover(Quote(fat16_) + " --to " + Quote(out) + " " + c.options);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(Files(out), c.files);
    }
}

TEST_F(CmdRecoverTest, IdSelectsAFolderWithEverythingBelowIt) {
    test::CommandResult listing = test::Run(Quote(test::CliPath()) + " analyze " + Quote(fat16_) + " --fs-only --json");
    ASSERT_EQ(listing.status, 0) << listing.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(listing.out, m, std::regex("\\{\"id\": (-?[0-9]+)[^\\n]*\"path\": \"/Photos\",")));
    const std::string out = work_ / "id";
    test::CommandResult r = Recover(Quote(fat16_) + " --to " + Quote(out) + " --id " + m[1].str());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Files(out), "./Photos/2023/big.bin\n./Photos/2023/Ünïcödé name.jpg\n");
}

TEST_F(CmdRecoverTest, ExistingFilesAreKeptUnlessOverwriteIsGiven) {
    const std::string out = work_ / "again";
    ASSERT_EQ(Recover(Quote(fat16_) + " --to " + Quote(out) + " --match hello.txt").status, 0);
    test::WriteFile(out + "/hello.txt", "mine");
    ASSERT_EQ(Recover(Quote(fat16_) + " --to " + Quote(out) + " --match hello.txt").status, 0);
    EXPECT_EQ(test::ReadFile(out + "/hello.txt"), "mine");
    EXPECT_EQ(test::Sha256File(out + "/hello (1).txt"), test::Sha256File(Source(fat16_, "/hello.txt")));
    ASSERT_EQ(Recover(Quote(fat16_) + " --to " + Quote(out) + " --match hello.txt --overwrite").status, 0);
    EXPECT_EQ(test::Sha256File(out + "/hello.txt"), test::Sha256File(Source(fat16_, "/hello.txt")));
    EXPECT_EQ(Files(out), "./hello (1).txt\n./hello.txt\n");
}

TEST_F(CmdRecoverTest, AllPartitionsGoBelowTheirOwnFolders) {
    const std::string disk = work_ / "disk.img";
    test::MustRun("truncate -s 40M " + Quote(disk) + " && printf 'label: dos\\n2048,32768,6\\n34816,,6\\n' | sfdisk -q " +
                  Quote(disk) + " >/dev/null");
    const char* names[] = {"one", "two"};
    const char* seeks[] = {"2048", "34816"};
    for (int p = 0; p < 2; ++p) {
        const std::string part = work_ / (std::string(names[p]) + ".part");
        test::WriteFile(work_ / (std::string(names[p]) + ".txt"), std::string(names[p]) + " partition\n");
        test::MustRun("mkfs.fat -C -F 16 -s 2 " + Quote(part) + " 16000 >/dev/null && " + kMtools + "mcopy -i " +
                      Quote(part) + " " + Quote(work_ / (std::string(names[p]) + ".txt")) + " ::/ && dd if=" +
                      Quote(part) + " of=" + Quote(disk) + " bs=512 seek=" + seeks[p] + " conv=notrunc status=none");
    }
    const std::string out = work_ / "parts";
    test::CommandResult r = Recover(Quote(disk) + " --all-partitions --to " + Quote(out));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Files(out), "./p1/one.txt\n./p2/two.txt\n");
    EXPECT_EQ(test::ReadFile(out + "/p2/two.txt"), "two partition\n");
    // Without the option the first partition with a file system is taken.
    const std::string first = work_ / "first";
    r = Recover(Quote(disk) + " --to " + Quote(first));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Files(first), "./one.txt\n");
}

// Files found by content after the volume was formatted again: a bitmap
// keeps the size its header gives; a PNG, whose size the scan cannot read,
// gets the size the option names.
TEST_F(CmdRecoverTest, LostFilesWithTheSizeRule) {
    const std::string image = work_ / "lost.img";
    const std::string bmp = test::SourceDir() + "/sample/files/logo.bmp";
    // A format whose own structure gives no size, so the rule decides it.
    const std::string psd = work_ / "picture.psd";
    test::WriteFile(psd, std::string("8BPS\0\x01\0\0", 8) + test::RandomBytes(9000, 3));
    test::MustRun("mkfs.fat -C -F 32 -s 1 " + Quote(image) + " 40000 >/dev/null && " + kMtools + "mcopy -i " +
                  Quote(image) + " " + Quote(bmp) + " " + Quote(psd) + " ::/ && mkfs.fat -F 32 -s 1 " + Quote(image) +
                  " >/dev/null");
    const std::string out = work_ / "lost";
    test::CommandResult r = Recover(Quote(image) + " --lost --size-rule 5000 --to " + Quote(out));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::string files = Files(out);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(files, m, std::regex("\\./(Lost files/Images/[^\\n]*\\.BMP)\\n"))) << files;
    EXPECT_EQ(test::Sha256File(out + "/" + m[1].str()), test::Sha256File(bmp));
    ASSERT_TRUE(std::regex_search(files, m, std::regex("\\./(Lost files/Images/[^\\n]*\\.PSD)\\n"))) << files;
    EXPECT_EQ(test::ReadFile(out + "/" + m[1].str()), test::ReadFile(psd).substr(0, 5000));
    // Without --lost only what the file system lists is taken: nothing here.
    r = Recover(Quote(image) + " --to " + Quote(work_ / "none"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Files(work_ / "none"), "");
}

TEST_F(CmdRecoverTest, UsageAndSourceErrorsExitTwo) {
    const std::string out = work_ / "never";
    for (const std::string& arguments :
         {Quote(fat16_), Quote(fat16_) + " --to " + Quote(out) + " --size-rule sometimes",
          Quote(fat16_) + " --to " + Quote(out) + " --deleted-only --live-only",
          Quote(fat16_) + " --to " + Quote(out) + " --id x", Quote(work_ / "missing.img") + " --to " + Quote(out)}) {
        SCOPED_TRACE(arguments);
        EXPECT_EQ(Recover(arguments).status, 2);
    }
    EXPECT_NE(test::Run("test -e " + Quote(out)).status, 0);
}

// A loop device with an NTFS volume mounted through ntfs-3g: the source is
// the device, the destination a folder on the mounted volume.
TEST_F(CmdRecoverTest, DestinationOnTheSourceDeviceIsRefused) {
    const std::string image = work_ / "ntfs.img";
    const std::string mountPoint = work_ / "mnt";
    test::MustRun("truncate -s 16M " + Quote(image) + " && mkntfs -q -F -f " + Quote(image) + " >/dev/null 2>&1; mkdir -p " +
                  Quote(mountPoint));
    test::CommandResult loop = test::Run("losetup -f --show " + Quote(image));
    if (loop.status != 0) GTEST_SKIP() << "no loop device here: " << loop.err;
    const std::string device = loop.out.substr(0, loop.out.find('\n'));
    test::CommandResult mount = test::Run("ntfs-3g " + device + " " + Quote(mountPoint));
    if (mount.status != 0) {
        test::Run("losetup -d " + device);
        GTEST_SKIP() << "ntfs-3g cannot mount here (FUSE missing?): " << mount.err;
    }
    const std::string out = mountPoint + "/recovered";
    test::CommandResult r = Recover(device + " --to " + Quote(out));
    const bool created = test::Run("test -e " + Quote(out)).status == 0;
    test::Run("umount " + Quote(mountPoint) + "; losetup -d " + device);
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("The distination folder is on the same drive with the source. You should change the "
                         "destination location for recovered files."),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(created);
}

}  // namespace
}  // namespace vx
