// Folders that share a first cluster, made with mtools: a deleted folder whose
// cluster now starts a live folder, a deleted folder entry that points back
// at its own ancestor (a directory loop), and the entry a move leaves behind.
// The live folders keep their ids, entries and paths; the deleted ones are
// listed where their entries are, holding nothing of the live folders; and
// recovery writes the live files at their live paths.
#include <gtest/gtest.h>

#include <set>

#include "fs/FoundObjectList.h"
#include "tests/fs/FatFixture.h"

namespace vx {
namespace {

using test::Mtools;
using test::Quote;

class SharedClustersTest : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = dir_ / "shared.img";
        const std::string src = dir_ / "src";
        test::MustRun("mkdir -p " + Quote(src));
        test::WriteFile(src + "/old.txt", "old\n");
        test::WriteFile(src + "/inb.txt", std::string(3000, 'b'));
        test::WriteFile(src + "/p.txt", std::string(1000, 'p'));
        test::WriteFile(src + "/q.txt", std::string(2000, 'q'));
        const std::string i = "-i " + Quote(image_) + " ";
        auto m = [&](const std::string& command) { return Mtools(command) + " && "; };
        // mtools takes the lowest free cluster: NEWDIR gets OLDDIR's, OUTER
        // gets GONE's. Moving INNER into OUTER leaves GONE's deleted entry
        // in INNER pointing at OUTER, its new parent.
        test::MustRun("mkfs.fat -C -F 16 " + Quote(image_) + " 16384 >/dev/null && " +  //
                      m("mmd " + i + "::/X ::/X/OLDDIR") + m("mcopy " + i + Quote(src + "/old.txt") + " ::/X/OLDDIR/") +
                      m("mdeltree " + i + "::/X/OLDDIR") + m("mmd " + i + "::/NEWDIR") +
                      m("mcopy " + i + Quote(src + "/inb.txt") + " ::/NEWDIR/") + m("mmd " + i + "::/INNER") +
                      m("mcopy " + i + Quote(src + "/q.txt") + " ::/INNER/") + m("mmd " + i + "::/INNER/GONE") +
                      m("mrd " + i + "::/INNER/GONE") + m("mmd " + i + "::/OUTER") +
                      m("mcopy " + i + Quote(src + "/p.txt") + " ::/OUTER/") + Mtools("mmove " + i + "::/INNER ::/OUTER/INNER"));
    }
    test::TempDir dir_;
    test::ScopedConfig config_;
    std::string image_;
};

TEST_F(SharedClustersTest, LiveFoldersKeepTheirEntriesAndPaths) {
    std::unique_ptr<CVolume> volume = test::OpenImage(image_);
    ASSERT_TRUE(volume);
    test::AnalyseFat(*volume);
    auto listing = test::Listing(*volume);
    std::string all;
    for (const auto& [path, r] : listing) all += path + "\n";
    SCOPED_TRACE(all);

    // The clusters really are shared.
    ASSERT_TRUE(listing.count("/NEWDIR") && listing.count("/X/_LDDIR"));
    ASSERT_EQ(listing["/NEWDIR"].cluster, listing["/X/_LDDIR"].cluster);
    ASSERT_TRUE(listing.count("/OUTER") && listing.count("/OUTER/INNER/_ONE"));
    ASSERT_EQ(listing["/OUTER"].cluster, listing["/OUTER/INNER/_ONE"].cluster);

    const std::set<std::string> expected = {
        "/NEWDIR", "/NEWDIR/inb.txt", "/OUTER", "/OUTER/p.txt", "/OUTER/INNER", "/OUTER/INNER/q.txt",
        "/OUTER/INNER/_ONE", "/X", "/X/_LDDIR", "/_NNER",  // the entry the move left in the root
    };
    std::set<std::string> paths;
    for (const auto& [path, r] : listing) paths.insert(path);
    EXPECT_EQ(paths, expected);
    for (const char* live : {"/NEWDIR", "/OUTER", "/OUTER/INNER"}) {
        EXPECT_FALSE(listing[live].IsDeleted()) << live;
        EXPECT_EQ(int64_t(listing[live].id), int64_t(listing[live].cluster)) << live << " keeps its id";
    }
    // The deleted folders hold none of the live folders' entries.
    for (const char* gone : {"/X/_LDDIR", "/OUTER/INNER/_ONE", "/_NNER"}) {
        EXPECT_TRUE(listing[gone].IsDeleted()) << gone;
        EXPECT_TRUE(volume->collection.CopyChildren(listing[gone].id).empty()) << gone;
    }
}

TEST_F(SharedClustersTest, RecoverWritesLiveFilesAtTheirPaths) {
    const std::string to = dir_ / "out";
    test::CommandResult r = test::Run("XDG_CONFIG_HOME=" + Quote(dir_ / "config") + " " + Quote(test::CliPath()) +
                                      " recover " + Quote(image_) + " --to " + Quote(to));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(test::ReadFile(to + "/NEWDIR/inb.txt"), std::string(3000, 'b'));
    EXPECT_EQ(test::ReadFile(to + "/OUTER/p.txt"), std::string(1000, 'p'));
    EXPECT_EQ(test::ReadFile(to + "/OUTER/INNER/q.txt"), std::string(2000, 'q'));
    EXPECT_EQ(test::Run("find " + Quote(to) + " -type f | wc -l").out, "3\n");
}

}  // namespace
}  // namespace vx
