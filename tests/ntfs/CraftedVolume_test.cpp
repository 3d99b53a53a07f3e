// The analyser over a real mkntfs volume whose spare MFT records were
// replaced by hand-made ones: damaged records, data in extension records,
// sparse and compressed data. These need no mount, so they run everywhere.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "device/LocalComputer.h"
#include "fs/AnalysisState.h"
#include "settings/EventLog.h"
#include "tests/ntfs/NtfsFixtures.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::CraftedImage;
using test::RecordBuilder;

constexpr uint64_t kFree = CraftedImage::kFreeCluster;
constexpr uint64_t kCluster = 4096;

// An image volume with an NTFS analyser that reports into its collection.
std::unique_ptr<CVolume> OpenNtfs(const std::string& path) {
    std::unique_ptr<CVolume> volume = Computer().OpenSource(path);
    if (!volume) return nullptr;
    volume->typeCode = 7;
    volume->collection.rootId = 5;
    volume->analyser = std::make_unique<CFileSystem_NTFS>(volume.get());
    return volume;
}

class CraftedVolume : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        CraftedImage image(*dir_ / "crafted.img");
        path_ = image.path();

        // 16: a torn record (one stride's check word differs).
        std::vector<uint8_t> torn = RecordBuilder().FileName(5, "torn.txt", 1).ResidentData("lost").Build(16);
        torn[1022] ^= 0x55;
        image.PutRecord(16, torn);
        // 17: an attribute of length 0 after the name.
        std::vector<uint8_t> zero(24, 0);
        zero[0] = 0x80;
        image.PutRecord(17, RecordBuilder().FileName(5, "zero_length.txt", 1, 77).Raw(zero).Build(17));
        // 18: a run list that points beyond the volume (1024 clusters).
        image.PutRecord(18, RecordBuilder()
                                .FileName(5, "beyond.bin", 1)
                                .NonResidentData(test::Pairs({{4, 5000}}), 4 * kCluster)
                                .Build(18));
        // 19: an attribute list whose data entries name the record itself.
        image.PutRecord(19, RecordBuilder()
                                .FileName(5, "self_list.txt", 1)
                                .AttributeList({{0x30, 19}, {0x80, 19}, {0x80, 19}})
                                .ResidentData("self data")
                                .Build(19));
        // 20 + 21: the name and the data attribute held wholly by extension record 21.
        image.PutRecord(20, RecordBuilder().StdInfo(1, 2, 3).AttributeList({{0x10, 20}, {0x30, 21}, {0x80, 21}}).Build(20));
        image.PutRecord(21, RecordBuilder()
                                .BaseRecord(20)
                                .FileName(5, "extension.bin", 1)
                                .NonResidentData(test::Pairs({{2, int64_t(kFree)}}), 6000)
                                .Build(21));
        extension_ = test::RandomBytes(2 * kCluster, 21);
        image.PutBytes(kFree * kCluster, extension_);
        extension_.resize(6000);
        // 22: one cluster, a hole of two, one cluster; the file ends 100 bytes early.
        const std::string a = test::RandomBytes(kCluster, 22), b = test::RandomBytes(kCluster, 23);
        image.PutBytes((kFree + 2) * kCluster, a);
        image.PutBytes((kFree + 3) * kCluster, b);
        image.PutRecord(22, RecordBuilder()
                                .FileName(5, "sparse.bin", 1)
                                .NonResidentData(test::Pairs({{1, int64_t(kFree + 2)}, {2, -1}, {1, int64_t(kFree + 3)}}),
                                                 4 * kCluster - 100, 0, 0x8000)
                                .Build(22));
        sparse_ = a + std::string(2 * kCluster, '\0') + b.substr(0, kCluster - 100);
        // 23: compressed in units of 16 clusters: the first unit's stored cluster
        // holds 16 LZNT1 chunks of "ABCD" repeated, the second unit is stored plain.
        std::string chunks;
        for (int i = 0; i < 16; ++i) chunks += std::string("\x06\xB0\x10" "ABCD" "\xF9\x3F", 9);
        const std::string plain = test::RandomBytes(16 * kCluster, 24);
        image.PutBytes((kFree + 4) * kCluster, chunks);
        image.PutBytes((kFree + 5) * kCluster, plain);
        image.PutRecord(23, RecordBuilder()
                                .FileName(5, "compressed.txt", 1)
                                .NonResidentData(test::Pairs({{1, int64_t(kFree + 4)}, {15, -1}, {16, int64_t(kFree + 5)}}),
                                                 16 * kCluster + 50000, 0, 0x0001, 4)
                                .Build(23));
        for (size_t i = 0; i < 16 * kCluster; ++i) compressed_ += "ABCD"[i % 4];
        compressed_ += plain.substr(0, 50000);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    static test::TempDir* dir_;
    static std::string path_, extension_, sparse_, compressed_;
};

test::TempDir* CraftedVolume::dir_ = nullptr;
std::string CraftedVolume::path_, CraftedVolume::extension_, CraftedVolume::sparse_, CraftedVolume::compressed_;

TEST_F(CraftedVolume, DamagedRecordsAreSkippedCleanly) {
    test::LogMark mark;
    test::Analysis a = test::Analyse(path_);
    // The torn record is not listed, and the analysis says once how many were skipped.
    EXPECT_EQ(a.ById(16), nullptr);
    EXPECT_EQ(a.fs->DamagedRecords(), 1u);
    EXPECT_EQ(mark.Count("CFileSystem_NTFS: 1 damaged MFT record(s) skipped."), 1u);

    struct Case {
        int32_t id;
        const char* name;
        uint64_t size;
        std::string data;
    };
    const Case cases[] = {
        {17, "zero_length.txt", 77, ""},     // the walk ends at the empty attribute
        {18, "beyond.bin", 4 * kCluster, ""},  // no run is taken, nothing is read
        {19, "self_list.txt", 9, "self data"},
    };
    for (const Case& c : cases) {
        const FoundObject* o = a.ById(c.id);
        ASSERT_NE(o, nullptr) << c.name;
        EXPECT_EQ(a.NameOf(*o), c.name);
        EXPECT_EQ(o->size, c.size) << c.name;
        EXPECT_EQ(a.ReadAll(*o), c.data) << c.name;
    }
    // The volume's own files are all there.
    for (const char* name : {"$MFT", "$MFTMirr", "$LogFile", "$Volume", "$AttrDef", "$Bitmap", "$Boot", "$UpCase"})
        EXPECT_NE(a.ByPath(name), nullptr) << name;
}

TEST_F(CraftedVolume, DataHeldByAnExtensionRecordReads) {
    test::Analysis a = test::Analyse(path_);
    const FoundObject* o = a.ByPath("extension.bin");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->size, 6000u);
    EXPECT_EQ(o->cluster, kFree);
    EXPECT_EQ(o->start, kFree * kCluster);
    EXPECT_EQ(o->created, 1u);
    EXPECT_EQ(a.ReadAll(*o), extension_);
    // The extension record itself is not a file.
    EXPECT_EQ(a.ById(21), nullptr);
}

TEST_F(CraftedVolume, SparseRunsReadAsZeros) {
    test::Analysis a = test::Analyse(path_);
    const FoundObject* o = a.ByPath("sparse.bin");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(a.ReadAll(*o), sparse_);
    // A read asked for more than the file holds stops at its size, though
    // its last run goes on.
    std::vector<uint8_t> out(8 * kCluster);
    EXPECT_EQ(a.fs->FileRead(*o, out.data(), 0, uint32_t(out.size())), sparse_.size());
    EXPECT_EQ(a.fs->FileRead(*o, out.data(), sparse_.size() - 10, 4096), 10u);
}

TEST_F(CraftedVolume, CompressedDataIsExpanded) {
    test::Analysis a = test::Analyse(path_);
    const FoundObject* o = a.ByPath("compressed.txt");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->size, compressed_.size());
    EXPECT_EQ(a.ReadAll(*o), compressed_);
    // A read that starts inside a unit and crosses into the next.
    std::vector<uint8_t> out(1000);
    ASSERT_EQ(a.fs->FileRead(*o, out.data(), 16 * kCluster - 500, 1000), 1000u);
    EXPECT_EQ(std::string(out.begin(), out.end()), compressed_.substr(16 * kCluster - 500, 1000));
}

TEST_F(CraftedVolume, LayoutBitmapAndReadsByContent) {
    test::Analysis a = test::Analyse(path_);
    EXPECT_EQ(a.fs->MftCluster(), 4u);
    EXPECT_EQ(a.fs->RecordSize(), 1024u);
    EXPECT_EQ(a.fs->RecordCount(), 27u);
    EXPECT_EQ(a.fs->BytesPerCluster(), kCluster);
    // The allocation bitmap: the MFT's cluster is in use, the crafted area is not.
    EXPECT_GE(a.volume->clusterBitmap.Bits(), 1024u);
    EXPECT_TRUE(a.volume->clusterBitmap.Get(4));
    EXPECT_FALSE(a.volume->clusterBitmap.Get(kFree));

    // A file found by content reads straight from its start, as on FAT.
    FoundObject lost;
    lost.flags = object_flag::FoundByContent;
    lost.start = kFree * kCluster;
    lost.size = 100;
    std::vector<uint8_t> out(512);
    EXPECT_EQ(a.fs->FileRead(lost, out.data(), 0, 100), 100u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 100), extension_.substr(0, 100));

    // An MFT record found by content (type 24) is read where it was found.
    FoundObject record;
    record.type = 24;
    record.start = 4 * kCluster + 22 * 1024;
    record.size = sparse_.size();
    std::vector<uint8_t> data(sparse_.size());
    EXPECT_EQ(a.fs->FileRead(record, data.data(), 0, uint32_t(data.size())), sparse_.size());
    EXPECT_TRUE(std::string(data.begin(), data.end()) == sparse_);

    // Probing from a position reports the records found there.
    std::vector<int32_t> probed;
    a.fs->objectSink = [&](const FoundObject& o) { probed.push_back(o.id); };
    FoundObject at;
    at.start = 4 * kCluster + 17 * 1024;
    // Ten records from 17; 21 is an extension record and reports nothing.
    EXPECT_EQ(a.fs->ProbeRecords(at), 9);
    EXPECT_EQ(probed, (std::vector<int32_t>{17, 18, 19, 20, 22, 23, 24, 25, 26}));
    a.fs->objectSink = nullptr;

    // A second analysis lists the same records again.
    const size_t listed = a.objects.size();
    test::Analysis again = test::Analyse(path_);
    EXPECT_EQ(again.objects.size(), listed);
}

TEST_F(CraftedVolume, UnreadableMftSectorsCostOnlyTheirRecords) {
    // Sector of record 22 (MFT at cluster 4): both its sectors fail.
    const uint64_t sector = (4 * kCluster + 22 * 1024) / 512;
    test::ScopedFaultySectors faults(path_, {sector, sector + 1});
    test::Analysis a = test::Analyse(path_);
    EXPECT_GT(faults.failures(), 0u);
    EXPECT_EQ(a.ById(22), nullptr);
    EXPECT_NE(a.ById(23), nullptr);
    EXPECT_NE(a.ById(20), nullptr);
    EXPECT_NE(a.ByPath("$Bitmap"), nullptr);
}


// Through the collection: a file met before its folder waits in a lost
// folder that becomes the folder; a deleted file whose folder is gone stays
// under a lost folder named after the missing record.
TEST(CraftedCollection, RecordsBeforeTheirFolderAndOrphans) {
    test::TempDir dir;
    test::CraftedImage image(dir / "order.img");
    image.PutRecord(16, RecordBuilder().FileName(17, "early.txt", 1).ResidentData("early").Build(16));
    image.PutRecord(17, RecordBuilder(0x0003).FileName(5, "Later", 1).Build(17));
    image.PutRecord(18, RecordBuilder(0x0000).FileName(999, "orphan.txt", 1).ResidentData("orphan").Build(18));
    std::unique_ptr<CVolume> volume = OpenNtfs(image.path());
    ASSERT_NE(volume, nullptr);
    auto* fs = static_cast<CFileSystem_NTFS*>(volume->analyser.get());
    TheAnalysisState().running = 1;
    fs->ParseVolume();
    TheAnalysisState().running = 0;

    FoundObject* folder = volume->collection.FindFolder(17);
    ASSERT_NE(folder, nullptr);
    EXPECT_STREQ(folder->name, "Later");
    EXPECT_EQ(folder->parent, 5);
    std::vector<FoundObject*> children;
    volume->collection.ChildrenOf(17, children);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_STREQ(children[0]->name, "early.txt");

    FoundObject* lost = volume->collection.FindFolder(999);
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->parent, object_id::LostFolders);
    EXPECT_STREQ(lost->name, "lost_folder_999");
    FoundObject* orphan = volume->collection.FindFirstById(18);
    ASSERT_NE(orphan, nullptr);
    EXPECT_TRUE(orphan->IsDeleted());
    EXPECT_EQ(orphan->parent, 999);
    std::vector<uint8_t> out(512);
    EXPECT_EQ(volume->ReadObjectData(*orphan, out.data(), 0, 512), 6u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 6), "orphan");
}

TEST(CraftedCollection, AStopEndsTheRecordLoop) {
    test::TempDir dir;
    test::CraftedImage image(dir / "stop.img");
    std::unique_ptr<CVolume> volume = Computer().OpenSource(image.path());
    CFileSystem_NTFS fs(volume.get());
    size_t seen = 0;
    fs.objectSink = [&](const FoundObject&) {
        if (++seen == 3) TheAnalysisState().running = 0;
    };
    TheAnalysisState().running = 1;
    fs.ParseVolume();
    EXPECT_EQ(seen, 3u);
    EXPECT_LT(TheAnalysisState().progress.load(), fs.RecordCount() - 1);
}


// Record 0 claims an MFT of a tebibyte: the records read are those its runs hold.
TEST(CraftedMft, AnAbsurdMftSizeIsBoundedByItsRuns) {
    test::TempDir dir;
    test::CraftedImage image(dir / "absurd.img");
    const uint64_t mft = 4 * 4096;
    const std::string bytes = test::ReadFile(image.path()).substr(mft, 1024);
    CMftRecord record0(nullptr, ByteSpan(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
    auto data = record0.FindAttribute(0x80);
    ASSERT_TRUE(data.has_value());
    std::string huge(8, '\0');
    huge[5] = 1;  // 2^40
    image.PutBytes(mft + *data + 0x30, huge);
    test::Analysis a = test::Analyse(image.path());
    EXPECT_EQ(a.fs->RecordCount(), 28u);  // 7 clusters of 4 KiB
    EXPECT_NE(a.ByPath("$Bitmap"), nullptr);
}


// Random damage to well-formed records (their update sequence kept valid so
// the damage reaches the attribute code): every walk, decode and read must
// stay inside its buffers and end.
TEST(CraftedDamage, RandomlyDamagedRecordsAreReadSafely) {
    test::TempDir dir;
    test::CraftedImage image(dir / "damage.img");
    test::Analysis a = test::Analyse(image.path());
    const std::vector<std::vector<uint8_t>> seeds = {
        RecordBuilder().StdInfo(1, 2, 3).FileName(5, "name.txt", 1).FileName(5, "NAME~1.TXT", 2)
            .NonResidentData(test::Pairs({{2, 800}, {3, -1}, {1, 810}}), 20000, 0, 0x0001, 4).Build(20),
        RecordBuilder().FileName(5, "list", 1).AttributeList({{0x80, 21}, {0x30, 22}, {0x80, 20}})
            .ResidentData("resident value").Build(20),
    };
    std::mt19937 random(1234);
    std::vector<uint8_t> out(1 << 20);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> r = seeds[size_t(round) % seeds.size()];
        const int hits = 1 + int(random() % 8);
        for (int i = 0; i < hits; ++i) {
            const size_t at = 56 + random() % (r.size() - 64);
            if (at % 512 >= 510) continue;  // leave the check words alone
            r[at] = uint8_t(random());
        }
        CMftRecord record(a.fs, r, 20);
        FoundObject t;
        std::string name;
        record.FillObject(t, name);
        record.LoadAttributeList();
        record.ReadData(0, int64_t(out.size()), out.data());
        record.ReadData(int64_t(random() % 100000), 4096, out.data());
    }
}


// Recovery reads objects through the analyser while its analysis still lists
// more (the thread sanitizer build checks this).
TEST(CraftedConcurrency, ReadsWhileTheAnalysisRuns) {
    test::TempDir dir;
    test::CraftedImage image(dir / "threads.img");
    image.PutRecord(16, RecordBuilder().FileName(5, "one.txt", 1).ResidentData("first file").Build(16));
    std::unique_ptr<CVolume> volume = OpenNtfs(image.path());
    ASSERT_NE(volume, nullptr);
    auto* fs = static_cast<CFileSystem_NTFS*>(volume->analyser.get());
    std::atomic<bool> done{false};
    std::atomic<uint64_t> bytes{0};
    std::thread reader([&] {
        std::vector<uint8_t> out(4096);
        while (!done) {
            if (FoundObject* o = volume->collection.FindFirstById(16)) {
                FoundObject copy;
                if (volume->collection.CopyRecord(o, copy)) bytes += volume->ReadObjectData(copy, out.data(), 0, 4096);
            }
        }
    });
    TheAnalysisState().running = 1;
    fs->ParseVolume();
    TheAnalysisState().running = 0;
    while (bytes == 0) std::this_thread::yield();
    done = true;
    reader.join();
    EXPECT_EQ(bytes % 10, 0u);
}


// An MFT in two fragments whose second one is named only by an extension
// record of record 0: the records there are read too.
TEST(CraftedMft, RunsInAnExtensionRecordOfTheMftAreFollowed) {
    test::TempDir dir;
    test::CraftedImage image(dir / "spill.img");
    image.PutRecord(0, RecordBuilder()
                           .StdInfo(1, 1, 1)
                           .AttributeList({{0x10, 0}, {0x30, 0}, {0x80, 0}, {0x80, 16, 7}})
                           .FileName(5, "$MFT", 3)
                           .NonResidentData(test::Pairs({{7, 4}}), 9 * kCluster)
                           .Build(0));
    image.PutRecord(16, RecordBuilder().BaseRecord(0).NonResidentData(test::Pairs({{2, int64_t(kFree)}}), 0, 7).Build(16));
    // Record 28 is the first of cluster kFree.
    const std::vector<uint8_t> far = RecordBuilder().FileName(5, "far.txt", 1).ResidentData("far away").Build(28);
    image.PutBytes(kFree * kCluster, std::string(far.begin(), far.end()));
    test::Analysis a = test::Analyse(image.path());
    EXPECT_EQ(a.fs->RecordCount(), 36u);
    const FoundObject* o = a.ByPath("far.txt");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->id, 28);
    EXPECT_EQ(a.ReadAll(*o), "far away");
    EXPECT_NE(a.ByPath("$Bitmap"), nullptr);
}


// A long attribute list lives in clusters of its own.
TEST(CraftedMft, ANonResidentAttributeListIsRead) {
    test::TempDir dir;
    test::CraftedImage image(dir / "longlist.img");
    const std::vector<uint8_t> list = RecordBuilder::ListValue({{0x10, 16}, {0x30, 17}, {0x80, 17}});
    image.PutBytes(kFree * kCluster, std::string(list.begin(), list.end()));
    image.PutRecord(16, RecordBuilder().StdInfo(5, 6, 7).NonResident(0x20, test::Pairs({{1, int64_t(kFree)}}), list.size()).Build(16));
    image.PutRecord(17, RecordBuilder().BaseRecord(16).FileName(5, "listed.txt", 1).ResidentData("from the extension").Build(17));
    test::Analysis a = test::Analyse(image.path());
    const FoundObject* o = a.ByPath("listed.txt");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->id, 16);
    EXPECT_EQ(o->modified, 6u);
    EXPECT_EQ(a.ReadAll(*o), "from the extension");
}

TEST(CraftedMft, AnUnreadableRecordZeroListsNothing) {
    test::TempDir dir;
    test::CraftedImage image(dir / "broken.img");
    image.PutBytes(4 * kCluster, "BAAD");
    test::LogMark mark;
    test::Analysis a = test::Analyse(image.path());
    EXPECT_TRUE(a.objects.empty());
    EXPECT_EQ(mark.Count("ERR: CFileSystem_NTFS: Load MFT failed."), 1u);
    FoundObject file;
    file.id = 16;
    std::vector<uint8_t> out(512);
    EXPECT_EQ(a.fs->FileRead(file, out.data(), 0, 100), 0u);
    EXPECT_EQ(mark.Count("ERR: CFileSystem_NTFS.FileRead: Can't read record"), 1u);
}

}  // namespace
}  // namespace vx
