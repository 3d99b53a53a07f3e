// A full `vornex-cli recover` writes every file `vornex-cli analyze --json`
// lists, at the path it lists, including the files of lost folders and empty
// files (created empty, with their times). Images made by mkfs.fat with
// mtools, and by mkntfs with an ntfs-3g mount.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

const char* kMtools = "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 TZ=UTC ";

struct Listed {
    std::string path;
    uint64_t size;
    bool deleted;
};

// The files (not folders, not found by content) of `analyze --fs-only --json`.
std::vector<Listed> ListedFiles(const std::string& config, const std::string& image) {
    const std::string out = test::MustRun("XDG_CONFIG_HOME=" + Quote(config) + " " + Quote(test::CliPath()) +
                                          " analyze --fs-only --json " + Quote(image));
    static const std::regex kLine(
        R"re("path": "((?:[^"\\]|\\.)*)", "folder": (true|false), "deleted": (true|false), .*"found_by_content": (true|false), "start": \d+, "size": (\d+|null))re");
    std::vector<Listed> files;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, kLine)) continue;
        if (m[2] == "true" || m[4] == "true" || m[5] == "null") continue;
        files.push_back({m[1], std::stoull(m[5]), m[3] == "true"});
    }
    return files;
}

// Runs recover on `image` into a fresh folder and checks every listed file
// there; returns the listing by path for further checks.
std::map<std::string, Listed> RecoverAndCompare(const test::TempDir& dir, const std::string& image) {
    const std::string config = dir / "config", to = dir / "out";
    std::vector<Listed> listed = ListedFiles(config, image);
    EXPECT_FALSE(listed.empty());
    test::CommandResult r = test::Run("XDG_CONFIG_HOME=" + Quote(config) + " " + Quote(test::CliPath()) + " recover " +
                                      Quote(image) + " --to " + Quote(to));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    std::map<std::string, Listed> byPath;
    for (const Listed& f : listed) {
        struct stat st{};
        EXPECT_EQ(::stat((to + f.path).c_str(), &st), 0) << "listed but not recovered: " << f.path;
        EXPECT_EQ(uint64_t(st.st_size), f.size) << f.path;
        byPath[f.path] = f;
    }
    return byPath;
}

TEST(RecoverListedTest, FatDeletedFolderOfManyFilesAndEmptyFiles) {
    test::TempDir dir;
    const std::string image = dir / "fat16.img", src = dir / "src";
    std::filesystem::create_directories(src + "/Many");
    std::string copy;
    // As many as one 2 KiB cluster holds: a deleted folder's chain is gone,
    // only its first cluster is read.
    for (int i = 0; i < 24; ++i) {
        const std::string name = "file " + std::to_string(i) + ".bin";
        test::WriteFile(src + "/Many/" + name, i % 4 == 0 ? std::string() : test::RandomBytes(700 * i, uint32_t(i)));
        copy += " " + Quote(src + "/Many/" + name);
    }
    test::WriteFile(src + "/empty.txt", "");
    test::WriteFile(src + "/gone empty.txt", "");
    test::MustRun("touch -d '2021-06-15 10:20:30 UTC' " + Quote(src + "/empty.txt"));
    const std::string i = std::string(kMtools) + "m%s -i " + Quote(image) + " ";
    auto tool = [&](const std::string& command) { return std::regex_replace(i, std::regex("%s"), command); };
    test::MustRun("mkfs.fat -C -F 16 " + Quote(image) + " 16384 >/dev/null && " + tool("md") + "::/Many ::/Keep && " +
                  tool("copy") + "-m" + copy + " ::/Many/ && " + tool("copy") + "-m " + Quote(src + "/empty.txt") + " " +
                  Quote(src + "/gone empty.txt") + " ::/Keep/ && " + tool("deltree") + "::/Many && " + tool("del") +
                  Quote("::/Keep/gone empty.txt"));

    std::map<std::string, Listed> listed = RecoverAndCompare(dir, image);
    EXPECT_EQ(listed.size(), 26u);
    ASSERT_TRUE(listed.count("/Keep/empty.txt"));
    EXPECT_FALSE(listed["/Keep/empty.txt"].deleted);
    ASSERT_TRUE(listed.count("/Keep/gone empty.txt"));
    EXPECT_TRUE(listed["/Keep/gone empty.txt"].deleted);
    struct stat st{};
    ASSERT_EQ(::stat((dir / "out/Keep/empty.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(st.st_mtime, 1623752430) << "an empty file keeps its times";
    // The deleted folder's clusters are free: every file reads back whole.
    for (int n = 0; n < 24; ++n) {
        const std::string name = "file " + std::to_string(n) + ".bin";
        ASSERT_TRUE(listed.count("/Many/" + name)) << name;
        EXPECT_EQ(test::Sha256File(dir / ("out/Many/" + name)), test::Sha256File(src + "/Many/" + name)) << name;
    }
}

// ntfs-3g reuses the lowest free MFT record once remounted: the deleted
// folder's record becomes a new file, and the folder's files, whose records
// still name it as their parent, land in a lost folder.
TEST(RecoverListedTest, NtfsFilesOfALostFolder) {
    if (access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "FUSE is not available here (/dev/fuse missing)";
    test::TempDir dir;
    const std::string image = dir / "ntfs.img", mnt = dir / "mnt", src = dir / "src";
    test::MustRun("mkdir -p " + Quote(mnt) + " " + Quote(src) + " && truncate -s 16M " + Quote(image) +
                  " && mkntfs -F -Q -q " + Quote(image) + " 2>/dev/null");
    if (test::Run("ntfs-3g " + Quote(image) + " " + Quote(mnt)).status != 0)
        GTEST_SKIP() << "ntfs-3g could not mount an image here (FUSE unusable)";
    // A failed step must not leave the mount behind in the temporary folder.
    struct Unmount {
        std::string at;
        ~Unmount() { test::Run("mountpoint -q " + Quote(at) + " && umount " + Quote(at)); }
    } unmount{mnt};
    std::filesystem::create_directories(mnt + "/Folder");
    for (int n = 1; n <= 29; ++n) {
        const std::string bytes = test::RandomBytes(1000 * n, uint32_t(n));
        test::WriteFile(src + "/f" + std::to_string(n) + ".bin", bytes);
        test::WriteFile(mnt + "/Folder/f" + std::to_string(n) + ".bin", bytes);
    }
    test::MustRun("sync && rm -r " + Quote(mnt + "/Folder") + " && umount " + Quote(mnt) + " && ntfs-3g " +
                  Quote(image) + " " + Quote(mnt));
    test::WriteFile(mnt + "/again.txt", "again\n");
    test::MustRun("umount " + Quote(mnt));

    std::map<std::string, Listed> listed = RecoverAndCompare(dir, image);
    ASSERT_TRUE(listed.count("/again.txt"));
    int lost = 0;
    for (const auto& [path, f] : listed) {
        std::smatch m;
        static const std::regex kLost("^/Lost folders/lost_folder_\\d+/(f\\d+\\.bin)$");
        if (!std::regex_match(path, m, kLost)) continue;
        ++lost;
        EXPECT_TRUE(f.deleted);
        EXPECT_EQ(test::Sha256File(dir / ("out" + path)), test::Sha256File(src + "/" + m[1].str())) << path;
    }
    EXPECT_EQ(lost, 29);
}

}  // namespace
}  // namespace vx
