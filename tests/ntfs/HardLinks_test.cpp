// Hard links made with `ln` through an ntfs-3g mount: one record with 100
// names, most of them in extension records reached through its attribute
// list, is listed once per name, each in its own folder, all reading the
// record's data.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "tests/ntfs/NtfsFixtures.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

TEST(NtfsHardLinks, EveryNameOfARecordIsListedInItsFolder) {
    if (access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "FUSE is not available here (/dev/fuse missing)";
    test::TempDir dir;
    const std::string image = dir / "links.img", mnt = dir / "mnt";
    test::MustRun("mkdir -p " + Quote(mnt) + " && truncate -s 16M " + Quote(image) + " && mkntfs -F -Q -q " +
                  Quote(image) + " 2>/dev/null");
    if (test::Run("ntfs-3g " + Quote(image) + " " + Quote(mnt)).status != 0)
        GTEST_SKIP() << "ntfs-3g could not mount an image here (FUSE unusable)";
    // A failed step must not leave the mount behind in the temporary folder.
    struct Unmount {
        std::string at;
        ~Unmount() { test::Run("mountpoint -q " + Quote(at) + " && umount " + Quote(at)); }
    } unmount{mnt};
    const std::string data = test::RandomBytes(9000, 7);
    std::filesystem::create_directories(mnt + "/Links");
    test::WriteFile(mnt + "/1.txt", data);
    std::string script = "set -e; cd " + Quote(mnt) + "; ";
    for (int n = 2; n <= 100; ++n)
        script += "ln 1.txt " + std::string(n <= 60 ? "" : "Links/") + std::to_string(n) + ".txt; ";
    test::MustRun(script + "cd /; umount " + Quote(mnt));

    test::Analysis a = test::Analyse(image);
    const FoundObject* links = a.ByPath("Links");
    ASSERT_NE(links, nullptr);
    int32_t record = -1;
    std::set<std::string> seen;
    for (const FoundObject& o : a.objects) {
        const std::string name = a.NameOf(o);
        if (name.size() < 5 || name.substr(name.size() - 4) != ".txt") continue;
        const int n = std::stoi(name);
        if (record < 0) record = o.id;
        EXPECT_EQ(o.id, record) << name << ": every name is the same record";
        EXPECT_EQ(o.parent, n <= 60 ? 5 : links->id) << name;
        EXPECT_EQ(o.size, data.size()) << name;
        EXPECT_EQ(a.ReadAll(o), data) << name;
        seen.insert(name);
    }
    EXPECT_EQ(seen.size(), 100u);
    // The names did not fit one record: most live in extension records.
    std::vector<uint8_t> base(a.fs->RecordSize());
    ASSERT_EQ(a.fs->ReadRecord(record, base.data()), a.fs->RecordSize());
    EXPECT_TRUE(CMftRecord(a.fs, base, record).HasAttributeList());
}

}  // namespace
}  // namespace vx
