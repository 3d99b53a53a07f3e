// Entry sets written by hand into the root directory of a volume made by
// mkfs.exfat: a bad checksum is reported and the set still used, absurd
// counts, lengths and cluster numbers and a looping FAT never crash, and the
// bytes past the valid data length read as zeros. Plus the time stamps.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "fs/ExFatLayout.h"
#include "fs/FileSystem_exFAT.h"
#include "fs/FatTime.h"
#include "tests/fs/FatFixture.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

struct EntrySpec {
    std::string name;
    uint16_t attributes = 0x20;
    uint8_t flags = exfat::kFlagAllocationPossible | exfat::kFlagNoFatChain;
    uint32_t first = 0;
    uint64_t length = 0;
    uint64_t valid = ~0ull;  // the length when not given
    bool deleted = false;
    bool breakChecksum = false;
    int secondaries = -1;    // the true count when negative
    int nameLength = -1;     // the true length when negative
};

void Put(std::vector<uint8_t>& v, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) v[at + i] = uint8_t(value >> (8 * i));
}

std::vector<uint8_t> EntrySet(const EntrySpec& s) {
    const std::u16string name = Utf8ToUtf16(s.name);
    const size_t nameEntries = (name.size() + 14) / 15;
    std::vector<uint8_t> set((2 + nameEntries) * 32, 0);
    set[0] = exfat::kTypeFile;
    set[1] = uint8_t(s.secondaries >= 0 ? s.secondaries : int(1 + nameEntries));
    Put(set, exfat::kFileAttributes, s.attributes, 2);
    Put(set, exfat::kModifiedTimestamp, (uint32_t(44) << 25) | (6u << 21) | (15u << 16) | (10u << 11) | (20u << 5) | 15, 4);
    set[32] = exfat::kTypeStreamExtension;
    set[32 + exfat::kStreamFlags] = s.flags;
    set[32 + exfat::kNameLength] = uint8_t(s.nameLength >= 0 ? s.nameLength : int(name.size()));
    Put(set, 32 + exfat::kValidDataLength, s.valid == ~0ull ? s.length : s.valid, 8);
    Put(set, 32 + exfat::kStreamFirstCluster, s.first, 4);
    Put(set, 32 + exfat::kDataLength, s.length, 8);
    for (size_t i = 0; i < name.size(); ++i) {
        const size_t at = 64 + (i / 15) * 32;
        set[at] = exfat::kTypeFileName;
        Put(set, at + 2 + (i % 15) * 2, name[i], 2);
    }
    Put(set, exfat::kSetChecksum, CFileSystem_exFAT::SetChecksum(ByteSpan(set), false) ^ (s.breakChecksum ? 1 : 0), 2);
    if (s.deleted)
        for (size_t at = 0; at < set.size(); at += 32) set[at] &= uint8_t(~exfat::kTypeInUse);
    return set;
}

// A volume made by mkfs.exfat, held in memory to be changed and written out.
class CraftedVolume {
public:
    explicit CraftedVolume(const test::TempDir& dir) : dir_(dir) {
        const std::string made = dir / "made.img";
        test::MustRun("truncate -s 8M " + Quote(made) + " && mkfs.exfat " + Quote(made) + " >/dev/null");
        const std::string bytes = test::ReadFile(made);
        image_.assign(bytes.begin(), bytes.end());
        ByteSpan b(image_);
        const uint32_t bps = 1u << b[exfat::kBytesPerSectorShift];
        bytesPerCluster_ = bps << b[exfat::kSectorsPerClusterShift];
        heap_ = uint64_t(le32(b, exfat::kClusterHeapOffset)) * bps;
        fat_ = uint64_t(le32(b, exfat::kFatOffset)) * bps;
        clusters_ = le32(b, exfat::kClusterCount);
        root_ = le32(b, exfat::kRootCluster);
        // Room after the entries mkfs wrote.
        next_ = Cluster(root_);
        while (image_[next_] != 0) next_ += 32;
    }
    uint64_t Cluster(uint32_t c) const { return heap_ + uint64_t(c - 2) * bytesPerCluster_; }
    uint32_t FreeCluster(uint32_t fromEnd) const { return clusters_ + 2 - fromEnd; }
    void AddSet(const std::vector<uint8_t>& set) {
        std::copy(set.begin(), set.end(), image_.begin() + next_);
        next_ += set.size();
    }
    void WriteData(uint32_t c, const std::string& bytes) { std::copy(bytes.begin(), bytes.end(), image_.begin() + Cluster(c)); }
    void SetFat(uint32_t c, uint32_t value) { Put(image_, fat_ + uint64_t(c) * 4, value, 4); }
    std::string Save(const std::string& name) {
        const std::string path = dir_ / name;
        test::WriteFile(path, std::string(image_.begin(), image_.end()));
        return path;
    }
    std::vector<uint8_t>& bytes() { return image_; }
    uint64_t rootOffset() const { return Cluster(root_); }
    uint32_t root() const { return root_; }
    uint32_t bytesPerCluster() const { return bytesPerCluster_; }

private:
    const test::TempDir& dir_;
    std::vector<uint8_t> image_;
    uint32_t bytesPerCluster_ = 0, clusters_ = 0, root_ = 0;
    uint64_t heap_ = 0, fat_ = 0, next_ = 0;
};

struct Analysed {
    std::unique_ptr<CVolume> volume;
    std::map<std::string, FoundObject> listing;
    CFileSystem_exFAT* fs = nullptr;
};

Analysed Analyse(const std::string& path) {
    Analysed a;
    a.volume = test::OpenImage(path);
    if (!a.volume) return a;
    test::AnalyseFat(*a.volume);
    a.fs = dynamic_cast<CFileSystem_exFAT*>(a.volume->analyser.get());
    a.listing = test::Listing(*a.volume);
    return a;
}

TEST(ExFatCrafted, BadChecksumIsReportedAndTheSetStillUsed) {
    test::TempDir dir;
    CraftedVolume v(dir);
    const uint32_t c = v.FreeCluster(20);
    const std::string data = test::RandomBytes(6000, 3);
    v.WriteData(c, data);
    v.AddSet(EntrySet({.name = "good.bin", .first = c, .length = data.size()}));
    v.AddSet(EntrySet({.name = "bad checksum.bin", .first = c, .length = data.size(), .breakChecksum = true}));
    v.AddSet(EntrySet({.name = "deleted.bin", .first = c, .length = data.size(), .deleted = true}));
    test::LogMark mark;
    Analysed a = Analyse(v.Save("v.img"));
    ASSERT_TRUE(a.fs);
    EXPECT_EQ(a.fs->badChecksumSets(), 1u);
    EXPECT_TRUE(mark.Contains("has a bad checksum"));
    for (const char* name : {"/good.bin", "/bad checksum.bin", "/deleted.bin"}) {
        ASSERT_TRUE(a.listing.count(name)) << name;
        EXPECT_EQ(test::ReadObject(*a.volume, a.listing[name]), data) << name;
    }
    EXPECT_TRUE(a.listing["/deleted.bin"].IsDeleted());
    EXPECT_EQ(FileTimeToIso8601(a.listing["/good.bin"].modified), "2024-06-15T10:20:30");
}

TEST(ExFatCrafted, BytesPastTheValidDataLengthReadAsZeros) {
    test::TempDir dir;
    CraftedVolume v(dir);
    const uint32_t c = v.FreeCluster(20);
    const std::string data = test::RandomBytes(9000, 4);
    v.WriteData(c, data);
    v.AddSet(EntrySet({.name = "half.bin", .first = c, .length = 9000, .valid = 4000}));
    Analysed a = Analyse(v.Save("v.img"));
    ASSERT_TRUE(a.listing.count("/half.bin"));
    EXPECT_EQ(test::ReadObject(*a.volume, a.listing["/half.bin"]), data.substr(0, 4000) + std::string(5000, '\0'));
}

// Every absurd value in one volume: the analysis ends, the sane sets are
// listed, and reading anything found never crashes.
TEST(ExFatCrafted, AbsurdCountsLengthsAndClustersNeverCrash) {
    test::TempDir dir;
    CraftedVolume v(dir);
    const uint32_t c = v.FreeCluster(20), loop = v.FreeCluster(30);
    v.WriteData(c, test::RandomBytes(4096, 5));
    v.AddSet(EntrySet({.name = "too many secondaries", .secondaries = 200}));
    v.AddSet(EntrySet({.name = "too few", .secondaries = 1}));
    v.AddSet(EntrySet({.name = "huge.bin", .first = c, .length = ~0ull >> 1}));
    v.AddSet(EntrySet({.name = "nowhere.bin", .first = 0xFFFFFFF0u, .length = 5000}));
    v.AddSet(EntrySet({.name = "short name claims 255", .first = c, .length = 100, .nameLength = 255}));
    v.AddSet(EntrySet({.name = "self", .attributes = exfat::kAttrDirectory, .first = v.root(), .length = 4096}));
    v.AddSet(EntrySet({.name = "huge folder", .attributes = exfat::kAttrDirectory, .first = c, .length = ~0ull}));
    v.SetFat(loop, loop);  // a chain that loops on itself
    v.AddSet(EntrySet({.name = "loop.bin", .flags = exfat::kFlagAllocationPossible, .first = loop, .length = 100000}));
    Analysed a = Analyse(v.Save("v.img"));
    ASSERT_TRUE(a.fs);
    EXPECT_FALSE(a.listing.count("/too many secondaries"));
    EXPECT_FALSE(a.listing.count("/nowhere.bin"));
    ASSERT_TRUE(a.listing.count("/huge.bin"));
    EXPECT_LE(a.listing["/huge.bin"].size, 8u << 20);
    EXPECT_TRUE(a.listing.count("/short name claims 255"));
    EXPECT_TRUE(a.listing.count("/self"));
    for (auto& [path, o] : a.listing)
        if (!o.IsFolder()) (void)test::ReadObject(*a.volume, o);
    // The chain ends where it loops back.
    EXPECT_EQ(test::ReadObject(*a.volume, a.listing["/loop.bin"]).size(), v.bytesPerCluster());
}

// Random bytes over the root directory, many times over: no crash, no hang.
TEST(ExFatCrafted, GarbledRootDirectoriesNeverCrash) {
    test::TempDir dir;
    CraftedVolume v(dir);
    const std::vector<uint8_t> pristine = v.bytes();
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        v.bytes() = pristine;
        const std::string noise = test::RandomBytes(v.bytesPerCluster(), seed);
        // Keep the type bytes plausible so that many sets get past the first test.
        for (size_t i = 0; i < noise.size(); ++i) {
            uint8_t b = uint8_t(noise[i]);
            if (i % 32 == 0) b = uint8_t(0x85 | (b & 0x40) | (b & 0x80)) ^ uint8_t(b & 0x45);
            v.bytes()[v.rootOffset() + i] = b;
        }
        Analysed a = Analyse(v.Save("g.img"));
        for (auto& [path, o] : a.listing)
            if (!o.IsFolder() && o.size < (64u << 20)) (void)test::ReadObject(*a.volume, o);
    }
}

TEST(ExFatCrafted, TimeStampsCarryTheir10MsPartsAndUtcOffsets) {
    const uint32_t stamp = (uint32_t(44) << 25) | (6u << 21) | (15u << 16) | (10u << 11) | (20u << 5) | 15;
    const uint64_t base = CFileSystem_exFAT::TimestampToFileTime(stamp, 0, 0);
    EXPECT_EQ(FileTimeToIso8601(base), "2024-06-15T10:20:30");
    EXPECT_EQ(CFileSystem_exFAT::TimestampToFileTime(stamp, 199, 0) - base, 1990u * 10000);
    // UTC+2 (8 quarters): the stamp is local, the file time UTC.
    EXPECT_EQ(FileTimeToIso8601(CFileSystem_exFAT::TimestampToFileTime(stamp, 0, 0x80 | 8)), "2024-06-15T08:20:30");
    // UTC-5 (-20 quarters, 7-bit two's complement).
    EXPECT_EQ(FileTimeToIso8601(CFileSystem_exFAT::TimestampToFileTime(stamp, 0, 0x80 | (0x80 - 20))),
              "2024-06-15T15:20:30");
    EXPECT_EQ(CFileSystem_exFAT::TimestampToFileTime(0, 0, 0), 0u);
}

}  // namespace
}  // namespace vx
