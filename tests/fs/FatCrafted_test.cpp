// The FAT analysis on images made by mkfs.fat whose directories, FAT or boot
// sector were then written by hand, one entry per rule that matters.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>

#include "common/Bytes.h"
#include "common/Text.h"
#include "tests/fs/FatFixture.h"

namespace vx {
namespace {

using test::Quote;

void Patch(const std::string& path, uint64_t offset, const std::string& bytes) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(offset));
    f.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadAt(const std::string& path, uint64_t offset, size_t n) {
    std::ifstream f(path, std::ios::binary);
    f.seekg(std::streamoff(offset));
    std::string s(n, '\0');
    f.read(s.data(), std::streamsize(n));
    return s;
}

// A short entry: 11 name bytes as stored (first byte included).
std::string Entry(const std::string& name11, uint8_t attributes, uint32_t cluster, uint32_t size) {
    std::string e(32, '\0');
    e.replace(0, 11, name11.substr(0, 11));
    e[11] = char(attributes);
    put16(reinterpret_cast<uint8_t*>(&e[14]), 0x5000);                      // 10:00:00
    put16(reinterpret_cast<uint8_t*>(&e[16]), (41 << 9) | (6 << 5) | 15);   // 2021-06-15
    put16(reinterpret_cast<uint8_t*>(&e[20]), uint16_t(cluster >> 16));
    put16(reinterpret_cast<uint8_t*>(&e[22]), 0x5000);
    put16(reinterpret_cast<uint8_t*>(&e[24]), (41 << 9) | (6 << 5) | 15);
    put16(reinterpret_cast<uint8_t*>(&e[26]), uint16_t(cluster));
    put32(reinterpret_cast<uint8_t*>(&e[28]), size);
    return e;
}

uint8_t Checksum(const std::string& name11) {
    uint8_t sum = 0;
    for (unsigned char c : name11.substr(0, 11)) sum = uint8_t(((sum & 1) << 7) + (sum >> 1) + c);
    return sum;
}

// The long-name entries of `name` in their on-disk order (last part first).
std::string LongEntries(const std::string& name, uint8_t checksum, bool deleted) {
    std::u16string text = Utf8ToUtf16(name);
    text += u'\0';
    while (text.size() % 13) text += u'\xFFFF';
    const size_t count = text.size() / 13;
    std::string out;
    for (size_t k = count; k >= 1; --k) {
        std::string e(32, '\0');
        e[0] = deleted ? char(0xE5) : char(k | (k == count ? 0x40 : 0));
        e[11] = 0x0F;
        e[13] = char(checksum);
        const size_t offsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (size_t c = 0; c < 13; ++c) put16(reinterpret_cast<uint8_t*>(&e[offsets[c]]), text[(k - 1) * 13 + c]);
        out += e;
    }
    return out;
}

// Geometry of an image made by mkfs.fat, read from its boot sector.
struct Geometry {
    uint32_t bytesPerCluster, reserved, fats, sectorsPerFat, rootSector, firstData, rootCluster;
    int bits;
    uint64_t ClusterOffset(uint32_t c) const { return uint64_t(firstData) * 512 + uint64_t(c - 2) * bytesPerCluster; }
};

Geometry ReadGeometry(const std::string& image, int bits) {
    const std::string b = ReadAt(image, 0, 512);
    ByteSpan s(reinterpret_cast<const uint8_t*>(b.data()), b.size());
    Geometry g{};
    g.bits = bits;
    g.bytesPerCluster = le16(s, 11) * le8(s, 13);
    g.reserved = le16(s, 14);
    g.fats = le8(s, 16);
    g.sectorsPerFat = bits == 32 ? le32(s, 36) : le16(s, 22);
    g.rootSector = g.reserved + g.fats * g.sectorsPerFat;
    g.firstData = g.rootSector + le16(s, 17) * 32 / 512;
    g.rootCluster = bits == 32 ? le32(s, 44) : 0;
    return g;
}

void SetFat(const std::string& image, const Geometry& g, uint32_t cluster, uint32_t value) {
    for (uint32_t f = 0; f < g.fats; ++f) {
        const uint64_t base = uint64_t(g.reserved + f * g.sectorsPerFat) * 512;
        if (g.bits == 12) {
            const uint64_t at = base + cluster * 3 / 2;
            std::string two = ReadAt(image, at, 2);
            uint16_t v = uint16_t(uint8_t(two[0]) | (uint8_t(two[1]) << 8));
            v = (cluster & 1) ? uint16_t((v & 0x000F) | (value << 4)) : uint16_t((v & 0xF000) | (value & 0x0FFF));
            two[0] = char(v & 0xFF);
            two[1] = char(v >> 8);
            Patch(image, at, two);
        } else if (g.bits == 16) {
            std::string two(2, '\0');
            put16(reinterpret_cast<uint8_t*>(two.data()), uint16_t(value));
            Patch(image, base + cluster * 2, two);
        } else {
            std::string four(4, '\0');
            put32(reinterpret_cast<uint8_t*>(four.data()), value);
            Patch(image, base + uint64_t(cluster) * 4, four);
        }
    }
}

class FatCraftedTest : public ::testing::Test {
protected:
    std::unique_ptr<CVolume> Analyse(const std::string& image) {
        std::unique_ptr<CVolume> volume = test::OpenImage(image);
        EXPECT_TRUE(volume);
        if (volume) test::AnalyseFat(*volume);
        return volume;
    }
    test::TempDir dir_;
    test::ScopedConfig config_;
};

TEST_F(FatCraftedTest, DirectoryEntryRules) {
    const std::string image = dir_ / "rules.img";
    test::MustRun("mkfs.fat -C -F 12 " + Quote(image) + " 1440 >/dev/null");
    const Geometry g = ReadGeometry(image, 12);
    const uint64_t root = uint64_t(g.rootSector) * 512;
    std::string entries;
    entries += Entry("\xE5" "EPORT  DOC", 0x20, 5, 100);      // deleted, no long name
    entries += Entry("MY FILE TXT", 0x20, 6, 10);               // embedded space
    entries += Entry("lower   TXT", 0x20, 7, 10);               // lower case: not a short name
    entries += Entry("ARCHIVE LBL", 0x28, 8, 10);               // label + archive: a file
    entries += Entry("VOLNAME    ", 0x08, 9, 0);                // a volume label
    entries += LongEntries("a deleted long name.txt", Checksum("ADELET~1TXT"), true);
    entries += Entry("NEW     TXT", 0x20, 10, 10);              // live 8.3 in the deleted file's slot
    entries += LongEntries("Live Long Name.txt", Checksum("LIVELO~1TXT"), false);
    entries += Entry("LIVELO~1TXT", 0x20, 11, 10);
    entries += LongEntries("Deleted Long.txt", Checksum("DELETE~1TXT"), true);
    entries += Entry("\xE5" "ELETE~1TXT", 0x20, 12, 10);
    entries += LongEntries("Wrong Owner.txt", uint8_t(Checksum("OWNER   TXT") + 1), false);
    entries += Entry("OWNER   TXT", 0x20, 14, 10);
    entries += Entry("EMPTY   TXT", 0x20, 0, 0);                // an empty file: listed, size 0
    entries += Entry("\xE5" "MPTY2  TXT", 0x20, 0, 0);         // a deleted empty file: listed
    entries += Entry("NODATA  TXT", 0x20, 0, 10);               // bytes but no cluster: nothing to read
    entries += Entry("NODIR      ", 0x10, 0, 0);                // a folder whose cluster was cleared
    entries += Entry("ONE     TXT", 0x20, 1, 10);               // cluster 1 is no data cluster
    entries += Entry("PAST    TXT", 0x20, 0xFF0, 10);           // past the data area
    entries += Entry("LOOP       ", 0x10, 20, 0);
    entries += Entry("BIG        ", 0x10, 40, 0);
    entries += std::string(32, '\0');                           // end of directory
    entries += Entry("\xE5" "FTER   TXT", 0x20, 13, 10);       // after the end mark
    Patch(image, root, entries);
    // A folder whose chain loops: 20 -> 21 -> 20.
    SetFat(image, g, 20, 21);
    SetFat(image, g, 21, 20);
    Patch(image, g.ClusterOffset(20), Entry("INLOOP1 TXT", 0x20, 30, 10));
    Patch(image, g.ClusterOffset(21), Entry("INLOOP2 TXT", 0x20, 31, 10));
    // A folder of three clusters with a long name split across the first two.
    SetFat(image, g, 40, 41);
    SetFat(image, g, 41, 42);
    SetFat(image, g, 42, 0xFFF);
    const std::string split = LongEntries("split across clusters.txt", Checksum("SPLITA~1TXT"), false);
    ASSERT_EQ(split.size(), 64u);
    Patch(image, g.ClusterOffset(40) + 512 - 32, split.substr(0, 32));
    Patch(image, g.ClusterOffset(41), split.substr(32) + Entry("SPLITA~1TXT", 0x20, 50, 10));
    Patch(image, g.ClusterOffset(42), Entry("THIRD   TXT", 0x20, 51, 10));

    std::unique_ptr<CVolume> volume = Analyse(image);
    auto listing = test::Listing(*volume);
    std::string all;
    for (const auto& [path, r] : listing) all += path + "\n";
    SCOPED_TRACE(all);
    EXPECT_TRUE(listing.count("/_EPORT.DOC") && listing["/_EPORT.DOC"].IsDeleted());
    EXPECT_TRUE(listing.count("/MY.TXT"));
    EXPECT_TRUE(listing.count("/ARCHIVE.LBL") && !listing["/ARCHIVE.LBL"].IsFolder());
    EXPECT_EQ(listing["/ARCHIVE.LBL"].attributes, 0x28);
    EXPECT_TRUE(listing.count("/NEW.TXT")) << "a live 8.3 entry keeps its own name";
    EXPECT_TRUE(listing.count("/Live Long Name.txt"));
    EXPECT_TRUE(listing.count("/Deleted Long.txt") && listing["/Deleted Long.txt"].IsDeleted());
    EXPECT_TRUE(listing.count("/OWNER.TXT")) << "a long name with another checksum is not this entry's";
    EXPECT_TRUE(listing.count("/_FTER.TXT"));
    EXPECT_TRUE(listing.count("/LOOP/INLOOP1.TXT"));
    EXPECT_TRUE(listing.count("/LOOP/INLOOP2.TXT"));
    EXPECT_TRUE(listing.count("/BIG/split across clusters.txt"));
    EXPECT_TRUE(listing.count("/BIG/THIRD.TXT"));
    ASSERT_TRUE(listing.count("/EMPTY.TXT") && listing.count("/_MPTY2.TXT"));
    EXPECT_EQ(listing["/EMPTY.TXT"].size, 0u);
    EXPECT_FALSE(listing["/EMPTY.TXT"].IsDeleted());
    EXPECT_EQ(listing["/_MPTY2.TXT"].size, 0u);
    EXPECT_TRUE(listing["/_MPTY2.TXT"].IsDeleted());
    for (const auto& [path, r] : listing) {
        for (const char* skipped : {"lower", "VOLNAME", "NODATA", "NODIR", "ONE", "PAST", "a deleted long name"})
            EXPECT_EQ(path.find(skipped), std::string::npos) << skipped;
    }
    EXPECT_EQ(listing.size(), 16u) << "each entry of the looping folder is listed once";
}

// Reads follow the chain of a live file and skip the clusters in use for a
// deleted one; a chain that loops or ends early gives what it covers.
TEST_F(FatCraftedTest, ObjectReadsFollowTheirClusters) {
    const std::string image = dir_ / "reads.img";
    test::MustRun("mkfs.fat -C -F 12 " + Quote(image) + " 1440 >/dev/null");
    const Geometry g = ReadGeometry(image, 12);
    auto cluster = [&](uint32_t c) { return std::string(512, char('a' + c % 26)); };
    for (uint32_t c = 60; c < 90; ++c) Patch(image, g.ClusterOffset(c), cluster(c));
    Patch(image, uint64_t(g.rootSector) * 512,
          Entry("LOOPED  BIN", 0x20, 60, 5000) + Entry("SHORT   BIN", 0x20, 70, 3000) +
              Entry("\xE5" "ONE    BIN", 0x20, 80, 1500) + Entry("JUMPS   BIN", 0x20, 85, 1000));
    SetFat(image, g, 60, 61);
    SetFat(image, g, 61, 60);   // loops back
    SetFat(image, g, 70, 0xFFF);  // one cluster for 3000 bytes
    SetFat(image, g, 81, 0xFFF);  // in use by another file
    SetFat(image, g, 85, 88);
    SetFat(image, g, 88, 0xFFF);

    std::unique_ptr<CVolume> volume = Analyse(image);
    auto listing = test::Listing(*volume);
    EXPECT_EQ(test::ReadObject(*volume, listing["/LOOPED.BIN"]), cluster(60) + cluster(61));
    EXPECT_EQ(test::ReadObject(*volume, listing["/SHORT.BIN"]), cluster(70));
    EXPECT_EQ(test::ReadObject(*volume, listing["/_ONE.BIN"]), cluster(80) + cluster(82) + cluster(83).substr(0, 476));
    EXPECT_EQ(test::ReadObject(*volume, listing["/JUMPS.BIN"]), cluster(85) + cluster(88).substr(0, 488));

    std::string buf(700, '\0');
    EXPECT_EQ(volume->ReadObjectData(listing["/JUMPS.BIN"], buf.data(), 300, 700), 700u) << "a read across the jump";
    EXPECT_EQ(buf, cluster(85).substr(300) + cluster(88).substr(0, 488));
    FoundObject byContent;
    byContent.flags = object_flag::FoundByContent;
    byContent.start = g.ClusterOffset(62) + 10;
    byContent.size = 600;
    EXPECT_EQ(volume->ReadObjectData(byContent, buf.data(), 0, 600), 600u);
    EXPECT_EQ(buf.substr(0, 600), cluster(62).substr(10) + cluster(63).substr(0, 98));
}

// A size no data area can hold is cut to the data area (found by fuzzing:
// fuzz/fat/regressions/size-past-volume).
TEST_F(FatCraftedTest, SizePastTheDataAreaIsCutToIt) {
    const std::string image = dir_ / "huge.img";
    test::MustRun("mkfs.fat -C -F 12 " + Quote(image) + " 1440 >/dev/null");
    const Geometry g = ReadGeometry(image, 12);
    Patch(image, uint64_t(g.rootSector) * 512,
          Entry("HUGE    BIN", 0x20, 60, 0xFFFFFFFF) + Entry("FITS    BIN", 0x20, 70, 4000));
    std::unique_ptr<CVolume> volume = Analyse(image);
    auto listing = test::Listing(*volume);
    const uint64_t dataArea = uint64_t(2880 - g.firstData) * 512 / g.bytesPerCluster * g.bytesPerCluster;
    EXPECT_EQ(listing["/HUGE.BIN"].size, dataArea);
    EXPECT_EQ(listing["/FITS.BIN"].size, 4000u);
}

TEST_F(FatCraftedTest, Fat32RootClusterOtherThanTwoKeepsItsFilesInTheRoot) {
    const std::string image = dir_ / "root.img";
    const std::string file = dir_ / "a.txt";
    test::WriteFile(file, "root file\n");
    test::MustRun("mkfs.fat -C -F 32 -s 1 " + Quote(image) + " 40000 >/dev/null && " +
                  test::Mtools("mcopy -i " + Quote(image) + " " + Quote(file) + " ::/a.txt"));
    const Geometry g = ReadGeometry(image, 32);
    ASSERT_EQ(g.rootCluster, 2u);
    const uint32_t moved = 1000;
    Patch(image, g.ClusterOffset(moved), ReadAt(image, g.ClusterOffset(2), g.bytesPerCluster));
    SetFat(image, g, moved, 0x0FFFFFFF);
    SetFat(image, g, 2, 0);
    std::string rootField(4, '\0');
    put32(reinterpret_cast<uint8_t*>(rootField.data()), moved);
    Patch(image, 44, rootField);

    std::unique_ptr<CVolume> volume = Analyse(image);
    auto listing = test::Listing(*volume);
    ASSERT_TRUE(listing.count("/a.txt"));
    EXPECT_EQ(test::ReadObject(*volume, listing["/a.txt"]), "root file\n");
    EXPECT_TRUE(volume->collection.CopyChildren(object_id::LostFolders).empty());
}

// Boot sectors whose numbers cannot describe a volume: each analysis ends at
// once with a line in the log and nothing but the two roots listed.
struct DamagedBoot {
    const char* name;
    int bits;
    std::vector<std::pair<size_t, std::string>> patches;
    const char* logged;
};

std::string U16(uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; }
std::string U32(uint32_t v) { return U16(uint16_t(v)) + U16(uint16_t(v >> 16)); }

TEST_F(FatCraftedTest, DamagedBootSectorsEndTheAnalysisCleanly) {
    const DamagedBoot cases[] = {
        {"cluster size 0", 16, {{13, std::string(1, '\0')}}, "sectors per cluster"},
        {"cluster size 3", 16, {{13, std::string(1, '\3')}}, "sectors per cluster"},
        {"sector size 0", 16, {{11, U16(0)}}, "bytes per sector"},
        {"sector size 100", 16, {{11, U16(100)}}, "bytes per sector"},
        {"no FATs", 16, {{16, std::string(1, '\0')}}, "no allocation table"},
        {"FAT larger than the volume", 16, {{22, U16(0xFFFF)}}, "does not fit"},
        {"FAT32 FAT larger than the volume", 32, {{36, U32(0x7FFFFFFF)}}, "does not fit"},
        {"root directory beyond the end", 16, {{19, U16(70)}, {22, U16(32)}}, "beyond the end"},
        {"FAT32 root cluster outside", 32, {{44, U32(0x0FFFFFF0)}}, "Root cluster"},
    };
    for (const DamagedBoot& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string image = dir_ / "damaged.img";
        test::MustRun("rm -f " + Quote(image) + " && mkfs.fat -C -F " + std::to_string(c.bits) + " " +
                      (c.bits == 32 ? "-s 1 " : "") + Quote(image) + (c.bits == 32 ? " 40000" : " 16384") +
                      " >/dev/null");
        for (const auto& [offset, bytes] : c.patches) Patch(image, offset, bytes);
        test::LogMark mark;
        std::unique_ptr<CVolume> volume = Analyse(image);
        ASSERT_TRUE(volume);
        bool logged = false;
        for (const std::string& line : mark.NewLines()) logged |= line.find(c.logged) != std::string::npos;
        EXPECT_TRUE(logged) << "expected a line with: " << c.logged;
        EXPECT_EQ(volume->collection.Count(), 2u) << "the volume node and the root folder";
    }
}

// A volume cut short (an image copied in part): stated 16 MiB, 1 MiB present.
// The analysis says so and reads what exists.
TEST_F(FatCraftedTest, AVolumeLargerThanItsSourceIsReadAsFarAsItExists) {
    const std::string image = dir_ / "cut.img", file = dir_ / "early.txt";
    test::WriteFile(file, test::RandomBytes(3000, 3));
    test::MustRun("mkfs.fat -C -F 16 " + Quote(image) + " 16384 >/dev/null && " +
                  test::Mtools("mcopy -i " + Quote(image) + " " + Quote(file) + " ::/EARLY.TXT") + " && truncate -s 1M " +
                  Quote(image));
    test::LogMark mark;
    std::unique_ptr<CVolume> volume = Analyse(image);
    ASSERT_TRUE(volume);
    EXPECT_TRUE(mark.Contains("FAT volume is larger than its source"));
    auto listing = test::Listing(*volume);
    ASSERT_TRUE(listing.count("/EARLY.TXT"));
    EXPECT_EQ(test::ReadObject(*volume, listing["/EARLY.TXT"]), test::ReadFile(file));
}

TEST_F(FatCraftedTest, AMillionClusterFolderChainIsCutShort) {
    const std::string image = dir_ / "long.img";
    test::MustRun("truncate -s 600M " + Quote(image) + " && mkfs.fat -F 32 -s 1 " + Quote(image) + " >/dev/null");
    const Geometry g = ReadGeometry(image, 32);
    const uint32_t first = 10, count = 1000000;
    // The chain first -> first+1 -> ... written straight into both FATs.
    std::string chain(size_t(count) * 4, '\0');
    for (uint32_t k = 0; k < count; ++k)
        put32(reinterpret_cast<uint8_t*>(&chain[size_t(k) * 4]), k + 1 == count ? 0x0FFFFFFF : first + k + 1);
    for (uint32_t f = 0; f < g.fats; ++f)
        Patch(image, uint64_t(g.reserved + f * g.sectorsPerFat) * 512 + uint64_t(first) * 4, chain);
    Patch(image, g.ClusterOffset(g.rootCluster), Entry("HUGE       ", 0x10, first, 0));
    Patch(image, g.ClusterOffset(first), Entry("INSIDE  TXT", 0x20, 5, 10));

    test::LogMark mark;
    const auto t0 = std::chrono::steady_clock::now();
    std::unique_ptr<CVolume> volume = Analyse(image);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    auto listing = test::Listing(*volume);
    EXPECT_TRUE(listing.count("/HUGE/INSIDE.TXT"));
    EXPECT_TRUE(mark.Contains("longer than"));
    EXPECT_LT(seconds, 20.0);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// Images whose FAT, root directory and first data clusters were overwritten
// with random bytes: every analysis ends and every object reads without harm.
TEST(FatDamagedImages, RandomDamageNeverCrashes) {
    test::TempDir dir;
    test::ScopedConfig config;
    const std::string clean = dir / "clean.img";
    const std::string file = dir / "f.bin";
    test::WriteFile(file, test::RandomBytes(5000, 3));
    std::string folders;
    for (int i = 0; i < 20; ++i) folders += " ::/D" + std::to_string(i);
    test::MustRun("mkfs.fat -C -F 12 " + Quote(clean) + " 1440 >/dev/null && " +
                  test::Mtools("mmd -i " + Quote(clean) + folders) + " && " +
                  test::Mtools("mcopy -i " + Quote(clean) + " " + Quote(file) + " ::/D3/f.bin") + " && " +
                  test::Mtools("mcopy -i " + Quote(clean) + " " + Quote(file) + " ::/D7/g.bin"));
    const std::string original = test::ReadFile(clean);
    const Geometry g = ReadGeometry(clean, 12);
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        std::string bytes = original;
        // Damage within the FATs, the root directory and the first clusters.
        const size_t end = size_t(g.firstData + 60) * 512;
        for (int k = 0; k < 400; ++k) bytes[512 + random() % (end - 512)] = char(random());
        const std::string image = dir / "damaged.img";
        test::WriteFile(image, bytes);
        std::unique_ptr<CVolume> volume = test::OpenImage(image);
        ASSERT_TRUE(volume);
        test::AnalyseFat(*volume);
        std::vector<char> buffer(64 * 1024);
        volume->collection.Visit([&](const FoundObject&) {});
        for (FoundObject* r : volume->collection.Snapshot()) {
            if (r->IsVolumeNode()) continue;
            (void)volume->ReadObjectData(*r, buffer.data(), 0, uint32_t(buffer.size()));
            (void)ObjectPath(volume->collection, *r);
        }
    }
}

}  // namespace
}  // namespace vx
