#include "fs/FoundObjectList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>

#include "device/Volume.h"
#include "signatures/FileTypeDatabase.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

FoundObject Entry(int32_t id, int32_t parent, const char* name, uint16_t flags = object_flag::NameAssigned,
                  uint64_t start = 0) {
    FoundObject r;
    r.id = id;
    r.parent = parent;
    r.name = name;
    r.flags = flags;
    r.start = start;
    r.size = 10;
    return r;
}

std::vector<std::string> Names(const std::vector<FoundObject>& records) {
    std::vector<std::string> names;
    for (const auto& r : records) names.emplace_back(r.name ? r.name : "");
    std::sort(names.begin(), names.end());
    return names;
}

class FoundObjectListTest : public ::testing::Test {
protected:
    FoundObjectListTest() : volume(VolumeKind::Image, kDriveImage) {
        volume.SetId(-31);
        list().rootId = 0;
    }
    CFoundObjectList& list() { return volume.collection; }
    test::RecordingNotifier notifier;
    CVolume volume;
};

TEST_F(FoundObjectListTest, OrphanGoesToLostFolderThatLaterBecomesTheRealFolder) {
    const uint16_t deleted = object_flag::NameAssigned | object_flag::Deleted;
    FoundObject* orphan = list().AddFromFileSystem(Entry(77, 1234, "OLD.TXT", deleted));
    ASSERT_NE(orphan, nullptr);
    FoundObject* lost = list().FindFolder(1234);
    ASSERT_NE(lost, nullptr);
    EXPECT_STREQ(lost->name, "lost_folder_1234");
    EXPECT_EQ(lost->parent, object_id::LostFolders);
    EXPECT_EQ(lost->flags, 0x93);
    EXPECT_EQ(notifier.collectionCodes(), (std::vector<int>{kLostFolderCreated, kObjectAdded}));

    FoundObject* real = list().AddFromFileSystem(Entry(1234, 0, "DOCS", object_flag::NameAssigned | object_flag::Folder));
    EXPECT_EQ(real, lost) << "the lost folder record is reused";
    EXPECT_STREQ(real->name, "DOCS");
    EXPECT_EQ(real->parent, 0);
    EXPECT_FALSE(real->IsDeleted());
    EXPECT_TRUE(real->Is(object_flag::ContainsDeleted));
    EXPECT_EQ(Names(list().CopyChildren(1234)), std::vector<std::string>{"OLD.TXT"});
    EXPECT_TRUE(list().CopyChildren(object_id::LostFolders).empty());
    EXPECT_EQ(Names(list().CopyChildren(0)), std::vector<std::string>{"DOCS"});
    std::vector<int> codes = notifier.collectionCodes();
    EXPECT_EQ(std::vector<int>(codes.begin() + 2, codes.end()), (std::vector<int>{kPlaceholderReplaced, kObjectAdded}));
}

TEST_F(FoundObjectListTest, AFileSharingAMissingFoldersClusterLeavesItsLostFolderAlone) {
    list().AddFromFileSystem(Entry(77, 1234, "CHILD.TXT", object_flag::NameAssigned | object_flag::Deleted));
    FoundObject* lost = list().FindFolder(1234);
    ASSERT_TRUE(lost);
    FoundObject* file = list().AddFromFileSystem(Entry(1234, 0, "REUSED.BIN", object_flag::NameAssigned | object_flag::Deleted));
    EXPECT_NE(file, lost);
    EXPECT_STREQ(lost->name, "lost_folder_1234");
    EXPECT_EQ(lost->parent, object_id::LostFolders);
    EXPECT_EQ(Names(list().CopyChildren(1234)), std::vector<std::string>{"CHILD.TXT"});
}

// Records reached from the root folder and the two lost roots, through folder ids.
size_t Reachable(const CFoundObjectList& list, int32_t root) {
    std::vector<int32_t> open{root, object_id::LostFolders, object_id::LostFiles};
    std::set<int32_t> expanded(open.begin(), open.end());
    size_t reached = 0;
    while (!open.empty()) {
        const int32_t id = open.back();
        open.pop_back();
        for (const FoundObject& r : list.CopyChildren(id)) {
            ++reached;
            if (r.IsFolder() && expanded.insert(r.id).second) open.push_back(r.id);
        }
    }
    return reached;
}

TEST_F(FoundObjectListTest, LoopsOfFoldersAreCutAtADeletedFolderUnderALostFolder) {
    const uint16_t folder = object_flag::NameAssigned | object_flag::Folder;
    // 100 (deleted) and 200 (live) name each other as parents; 400 names itself.
    list().AddFromFileSystem(Entry(100, 200, "OLD", folder | object_flag::Deleted));
    list().AddFromFileSystem(Entry(200, 100, "LIVE", folder));
    list().AddFromFileSystem(Entry(300, 200, "IN LIVE.TXT"));
    list().AddFromFileSystem(Entry(400, 400, "SELF", folder));
    list().AddFromFileSystem(Entry(500, 400, "IN SELF.TXT"));
    list().AddFromFileSystem(Entry(600, 0, "TOP.TXT"));
    EXPECT_LT(Reachable(list(), 0), 6u);

    EXPECT_EQ(list().AttachUnreachable(), 2u);
    const size_t records = list().Count() - 1;  // all but "Lost folders" itself
    EXPECT_EQ(Reachable(list(), 0), records);
    ASSERT_NE(list().LostFoldersRootIfAny(), nullptr) << "made with the first lost folder";
    const FoundObject* old = list().FindFolder(100);
    ASSERT_NE(old, nullptr);
    const FoundObject* lost = list().FindFolder(old->parent);
    ASSERT_NE(lost, nullptr);
    EXPECT_STREQ(lost->name, "lost_folder_200") << "the deleted folder of the loop is cut";
    EXPECT_EQ(lost->parent, object_id::LostFolders);
    EXPECT_EQ(list().FindFolder(200)->parent, 100) << "the live folder stays in it";
    const FoundObject* self = list().FindFolder(400);
    ASSERT_NE(self, nullptr);
    EXPECT_STREQ(list().FindFolder(self->parent)->name, "lost_folder_400");
    EXPECT_EQ(list().AttachUnreachable(), 0u) << "nothing left to attach";
}

TEST_F(FoundObjectListTest, AFolderSharingTheIdOfALiveOneKeepsNoneOfItsEntries) {
    const uint16_t folder = object_flag::NameAssigned | object_flag::Folder;
    // The deleted folder is met first, then the live folder on its cluster.
    list().AddFromFileSystem(Entry(30, 0, "A", folder));
    list().AddFromFileSystem(Entry(50, 30, "_LD", folder | object_flag::Deleted));
    list().AddFromFileSystem(Entry(60, 50, "X.TXT"));
    FoundObject* live = list().AddFromFileSystem(Entry(50, 0, "NEW", folder));
    EXPECT_EQ(live->id, 50);
    EXPECT_EQ(Names(list().CopyChildren(50)), std::vector<std::string>{"X.TXT"});
    EXPECT_EQ(list().FindFolder(50), live);
    std::vector<std::string> inA = Names(list().CopyChildren(30));
    ASSERT_EQ(inA, std::vector<std::string>{"_LD"});
    const FoundObject old = list().CopyChildren(30).front();
    EXPECT_NE(old.id, 50);
    EXPECT_TRUE(list().CopyChildren(old.id).empty());
    // A second folder on a live folder's cluster gets an id of its own.
    FoundObject* again = list().AddFromFileSystem(Entry(50, 30, "_LD2", folder | object_flag::Deleted));
    EXPECT_NE(again->id, 50);
    EXPECT_EQ(list().FindFolder(50), live);
}

TEST_F(FoundObjectListTest, NoLostParentForTheRootOrParentZero) {
    list().rootId = 2;
    list().AddFromFileSystem(Entry(2, 7, "ROOT", object_flag::Folder));  // own id is the root id
    list().AddFromFileSystem(Entry(9, 2, "A.TXT"));                       // parent is the root id
    list().AddFromFileSystem(Entry(10, 0, "B.TXT"));                      // parent 0
    EXPECT_EQ(list().Count(), 3u);
    EXPECT_EQ(list().FindFirstById(object_id::LostFolders), nullptr);
    EXPECT_TRUE(list().CopyChildren(object_id::LostFolders).empty());
}

TEST_F(FoundObjectListTest, EqualIdsMostRecentFirstThroughTheCursor) {
    list().AddFromFileSystem(Entry(5, 0, "first"));
    list().AddFromFileSystem(Entry(6, 0, "other"));
    list().AddFromFileSystem(Entry(5, 0, "second"));
    int64_t cursor = -1;
    std::vector<std::string> seen;
    while (FoundObject* r = list().FindById(5, cursor)) seen.emplace_back(r->name);
    EXPECT_EQ(seen, (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(list().FindById(5, cursor), nullptr) << "stays at the end";
}

TEST_F(FoundObjectListTest, MarkContainsDeletedStopsAtTheFirstMarkedAncestor) {
    list().AddFromFileSystem(Entry(3, 0, "A", object_flag::Folder));
    FoundObject* b = list().AddFromFileSystem(Entry(4, 3, "B", object_flag::Folder));
    FoundObject* c = list().AddFromFileSystem(Entry(5, 4, "C", object_flag::Folder));
    FoundObject* file = list().AddFromFileSystem(Entry(6, 5, "X.TXT", object_flag::Deleted));
    ASSERT_TRUE(file);
    for (int32_t id : {3, 4, 5}) EXPECT_TRUE(list().FindFolder(id)->Is(object_flag::ContainsDeleted)) << id;
    // Clear B's mark only: marking from C sets C (a folder) and B, then stops at A.
    c->flags &= uint16_t(~object_flag::ContainsDeleted);
    b->flags &= uint16_t(~object_flag::ContainsDeleted);
    list().MarkContainsDeleted(c);
    EXPECT_TRUE(c->Is(object_flag::ContainsDeleted));
    EXPECT_TRUE(b->Is(object_flag::ContainsDeleted));
    EXPECT_FALSE(file->Is(object_flag::ContainsDeleted)) << "a file never carries the mark";
}

TEST_F(FoundObjectListTest, LostFilesAndThePositionIndex) {
    list().AddFromFileSystem(Entry(9, 0, "LIVE.DOC", object_flag::NameAssigned, 4096));
    list().EnablePositionIndex(true);
    EXPECT_STREQ(list().FindByPosition(4096)->name, "LIVE.DOC") << "existing records are indexed when enabled";

    FoundObject lost;
    lost.start = 1048576;
    lost.flags = object_flag::Deleted | object_flag::FoundByContent;
    lost.type = 77;
    FoundObject* first = list().AddLost(lost);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->name, "lost_file_1048576");
    EXPECT_TRUE(first->Is(object_flag::NameAssigned));

    FoundObject* again = list().AddLost(lost);
    EXPECT_EQ(again, first) << "a second find at the same start is not added";
    EXPECT_TRUE(first->Is(object_flag::SeenAgain));
    EXPECT_EQ(notifier.collectionCodes().back(), kSeenAgain);

    FoundObject same = lost;
    same.start = 1048576 + 512;
    same.type = 12;
    list().AddLost(same);
    same.start = 9 * 1048576;
    same.type = 77;
    list().AddLost(same);
    EXPECT_EQ(list().NextAfterPosition(4096), first);
    EXPECT_EQ(list().NextAfterPosition(1048576)->start, 1048576u + 512);
    EXPECT_EQ(list().NextAfterPosition(7), nullptr) << "nothing starts there";
    EXPECT_EQ(list().NextOfSameType(first)->start, 9u * 1048576);
    EXPECT_EQ(list().Count(), 4u);
}

TEST_F(FoundObjectListTest, RootsAndClearLeaveEmbeddedRecordsAlone) {
    FoundObject* lostFolders = list().LostFoldersRoot();
    EXPECT_EQ(lostFolders, list().LostFoldersRoot()) << "created once";
    EXPECT_STREQ(lostFolders->name, "Lost folders");
    EXPECT_EQ(lostFolders->flags, 0x92);
    EXPECT_EQ(lostFolders->parent, -31);
    EXPECT_STREQ(list().LostFilesRoot()->name, "Lost files");
    EXPECT_EQ(list().LostFilesRoot()->flags, 0x93);

    list().Add(&volume.rootRecord);
    FoundObject embedded = Entry(0, -31, ".", object_flag::Folder | object_flag::Embedded);
    list().Add(&embedded);
    list().Add(new FoundObject(Entry(8, 0, nullptr)));
    list().Clear();
    EXPECT_EQ(list().Count(), 0u);
    EXPECT_EQ(list().LostFoldersRootIfAny(), nullptr);
    EXPECT_EQ(embedded.id, 0) << "embedded records survive Clear";
    EXPECT_EQ(list().FindFirstById(8), nullptr);
}

// One thread fills the list while another reads folders and follows ids;
// run under ThreadSanitizer this shows the guarding.
TEST_F(FoundObjectListTest, ReadersSeeConsistentSnapshotsWhileTheListGrows) {
    constexpr int kFolders = 200, kPerFolder = 100;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int f = 0; f < kFolders; ++f) {
            list().AddFromFileSystem(Entry(1000 + f, 0, "DIR", object_flag::Folder));
            for (int i = 0; i < kPerFolder; ++i)
                list().AddFromFileSystem(Entry(100000 + f * kPerFolder + i, 1000 + f, "FILE.TXT"));
        }
        done = true;
    });
    size_t checks = 0;
    while (!done || checks == 0) {
        for (int f = 0; f < kFolders; f += 17) {
            std::vector<FoundObject> children = list().CopyChildren(1000 + f);
            for (const FoundObject& c : children) {
                ASSERT_EQ(c.parent, 1000 + f);
                ASSERT_STREQ(c.name, "FILE.TXT");
            }
            ++checks;
        }
        list().FindFirstById(1000);
        std::this_thread::yield();
    }
    writer.join();
    EXPECT_EQ(list().Count(), size_t(kFolders * (kPerFolder + 1)));
    EXPECT_EQ(list().CopyChildren(1005).size(), size_t(kPerFolder));
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// Types come from the file-type database: a directory entry by its name's
// extension, a lost file by its format, named from the format's prefix and
// filed under its group's folder.
TEST(FoundObjectListTypes, TypesNamesAndGroupFoldersComeFromTheDatabase) {
    test::ScopedConfig config;
    FileTypes().EnsureLoaded();
    CVolume volume(VolumeKind::Image, kDriveImage);
    volume.SetId(-40);
    FoundObject entry = Entry(9, 0, "report.Doc");
    FoundObject* doc = volume.collection.AddFromFileSystem(entry, false);
    EXPECT_EQ(doc->type, 500);

    const FileType* format = FileTypes().FindTypeById(500);
    ASSERT_TRUE(format);
    FoundObject lost;
    lost.start = 1048576;
    lost.type = 500;
    lost.flags = object_flag::FoundByContent;
    FoundObject* added = volume.collection.AddLost(lost, false);
    ASSERT_TRUE(added);
    EXPECT_EQ(std::string(added->name), format->NamePrefix() + "_1048576." + FileTypeDatabase::FirstExtension(*format));
    EXPECT_EQ(added->parent, format->GroupId());
    FoundObject* group = volume.collection.FindFolder(format->GroupId());
    ASSERT_TRUE(group);
    EXPECT_EQ(group->parent, object_id::LostFiles);
    EXPECT_EQ(std::string(group->name), FileTypes().GroupTitle(format->GroupId()));
}

}  // namespace
}  // namespace vx
