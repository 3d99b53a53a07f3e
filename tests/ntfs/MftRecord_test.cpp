// MFT records on their own: update sequence, run decoding, resident reads,
// names and sizes.
#include <gtest/gtest.h>

#include "fs/Lznt1.h"
#include "fs/MftRecord.h"
#include "tests/ntfs/NtfsFixtures.h"

namespace vx {
namespace {

using test::RecordBuilder;

TEST(DecodeRuns, TwoRunsWithANegativeOffset) {
    const std::vector<uint8_t> pairs = {0x31, 0x08, 0x00, 0x10, 0x00, 0x11, 0x04, 0xF0, 0x00};
    std::vector<DataRun> runs;
    EXPECT_TRUE(DecodeRuns(pairs, 0, 0, runs));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].cluster, 4096);
    EXPECT_EQ(runs[0].length, 8u);
    EXPECT_EQ(runs[0].firstVcn, 0u);
    EXPECT_EQ(runs[0].lastVcn, 7u);
    EXPECT_EQ(runs[1].cluster, 4080);
    EXPECT_EQ(runs[1].length, 4u);
    EXPECT_EQ(runs[1].firstVcn, 8u);
    EXPECT_EQ(runs[1].lastVcn, 11u);
    EXPECT_EQ(runs[1].sparse, 0u);
}

TEST(DecodeRuns, ARunWithoutOffsetIsSparseAndMapsNowhere) {
    // 4 clusters at 100, a hole of 2, 1 cluster at 103.
    const std::vector<uint8_t> pairs = {0x11, 0x04, 100, 0x01, 0x02, 0x11, 0x01, 0x03, 0x00};
    std::vector<DataRun> runs;
    ASSERT_TRUE(DecodeRuns(pairs, 0, 0, runs));
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].sparse, 1u);
    EXPECT_EQ(runs[2].cluster, 103);
    CMftRecord none(nullptr);
    EXPECT_EQ(none.VcnToLcn(0), -1);
}

TEST(DecodeRuns, AnOffsetOfZeroIsClusterZeroNotAHole) {
    // $Boot's run: 2 clusters at cluster 0, the offset field present.
    const std::vector<uint8_t> pairs = {0x11, 0x02, 0x00, 0x00};
    std::vector<DataRun> runs;
    ASSERT_TRUE(DecodeRuns(pairs, 0, 1000, runs));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cluster, 0);
    EXPECT_EQ(runs[0].sparse, 0u);
}

TEST(DecodeRuns, ClustersPastTwoToTheSixtyThirdAreRefused) {
    // 16 clusters from 2^63 - 4, under a claimed count that allows anything.
    const std::vector<uint8_t> past = {0x81, 16, 0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x00};
    std::vector<DataRun> runs;
    EXPECT_FALSE(DecodeRuns(past, 0, UINT64_MAX, runs));
    EXPECT_TRUE(runs.empty());
    // 16 clusters from 2^63 - 20 end just below: they map without overflow.
    const std::vector<uint8_t> below = {0x81, 16, 0xEC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x00};
    ASSERT_TRUE(DecodeRuns(below, 0, UINT64_MAX, runs));
    ASSERT_EQ(runs.size(), 1u);
    CMftRecord record(nullptr, RecordBuilder().FileName(5, "far.bin", 1).NonResidentData(below, 16 * 4096).Build(30));
    ASSERT_EQ(record.Runs().size(), 1u);
    EXPECT_EQ(record.VcnToLcn(15), INT64_MAX - 4);
    EXPECT_EQ(record.VcnToLcn(16), -1);
}

TEST(DecodeRuns, DamagedListsEndWithTheRunsBefore) {
    struct Case {
        const char* what;
        std::vector<uint8_t> pairs;
        size_t runsKept;
    };
    const Case cases[] = {
        {"beyond the volume", {0x11, 0x04, 0x10, 0x21, 0x04, 0x00, 0x7F, 0x00}, 1},
        {"length field of 9 bytes", {0x11, 0x04, 0x10, 0x09, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0x00}, 1},
        {"zero length", {0x11, 0x00, 0x10, 0x00}, 0},
        {"pair cut by the attribute's end", {0x11, 0x04, 0x10, 0x32, 0x01}, 1},
        {"negative cluster", {0x11, 0x04, 0x10, 0x11, 0x01, 0xE0, 0x00}, 1},
        {"no end byte", {0x11, 0x04, 0x10}, 1},
    };
    for (const Case& c : cases) {
        std::vector<DataRun> runs;
        EXPECT_FALSE(DecodeRuns(c.pairs, 0, 1000, runs)) << c.what;
        EXPECT_EQ(runs.size(), c.runsKept) << c.what;
    }
}

TEST(MergeRuns, PlacesExtentsByTheirVcnAndTakesOverlapsOnce) {
    std::vector<DataRun> list = {{100, 4, 0, 8, 11}};
    MergeRuns(list, {{200, 8, 0, 0, 7}, {100, 4, 0, 8, 11}, {300, 2, 0, 12, 13}});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].cluster, 200);
    EXPECT_EQ(list[1].cluster, 100);
    EXPECT_EQ(list[2].cluster, 300);
}

// The update sequence covers every 512 bytes of a record, whatever the
// cluster size: in a 4096-byte record every stride's last word comes back
// from the array, so a resident value across them reads as it was written.
TEST(MftRecordFixups, EveryStrideIsRestoredAndAMismatchIsDamage) {
    const std::string value = test::RandomBytes(3000, 11);
    std::vector<uint8_t> image = RecordBuilder(0x0001, 4096).FileName(5, "f.txt", 1).ResidentData(value).Build(30);
    CMftRecord record(nullptr, image, 30);
    ASSERT_FALSE(record.Damaged());
    std::string read(value.size(), '\0');
    ASSERT_EQ(record.ReadData(0, 3000, reinterpret_cast<uint8_t*>(read.data())), 3000u);
    EXPECT_EQ(read, value);
    // Parsing again does not apply the fixups twice.
    EXPECT_EQ(record.Parse(), 1);
    ASSERT_EQ(record.ReadData(0, 3000, reinterpret_cast<uint8_t*>(read.data())), 3000u);
    EXPECT_EQ(read, value);

    // A torn write: one stride's check word is not the sequence number.
    std::vector<uint8_t> torn = image;
    torn[2046] ^= 0xFF;
    CMftRecord damaged(nullptr, torn, 30);
    EXPECT_TRUE(damaged.Damaged());
    EXPECT_EQ(damaged.Parse(), 0);
}

TEST(MftRecordFixups, AWrongArrayLengthIsDamage) {
    std::vector<uint8_t> image = RecordBuilder().FileName(5, "f", 1).Build(30);
    image[6] = 2;  // one word per 512 bytes is missing
    EXPECT_TRUE(CMftRecord(nullptr, image, 30).Damaged());
}

TEST(MftRecordRead, ResidentValueAtItsEnd) {
    std::string value = test::RandomBytes(600, 7);
    CMftRecord record(nullptr, RecordBuilder().FileName(5, "r", 1).ResidentData(value).Build(31), 31);
    std::vector<uint8_t> out(512);
    EXPECT_EQ(record.ReadData(512, 512, out.data()), 88u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 88), value.substr(512));
    EXPECT_EQ(record.ReadData(600, 512, out.data()), 0u);
    EXPECT_EQ(record.ReadData(601, 512, out.data()), 0u);
}

TEST(MftRecordFill, NameSpacesAndSizes) {
    struct Case {
        const char* what;
        RecordBuilder builder;
        std::string name;
        uint64_t size;
    };
    const Case cases[] = {
        {"DOS then Win32", RecordBuilder().FileName(5, "LONGNA~1.TXT", 2).FileName(5, "Long name.txt", 1),
         "Long name.txt", 0},
        {"Win32 then DOS", RecordBuilder().FileName(5, "Long name.txt", 1).FileName(5, "LONGNA~1.TXT", 2),
         "Long name.txt", 0},
        {"POSIX only", RecordBuilder().FileName(5, "posix:name", 0), "posix:name", 0},
        {"name says 0, data says 5000",
         RecordBuilder().FileName(5, "d.bin", 3, 0).NonResidentData(test::Pairs({{2, 700}}), 5000), "d.bin", 5000},
        {"folder without data keeps the name's size", RecordBuilder(0x0003).FileName(5, "dir", 3, 48), "dir", 48},
    };
    for (const Case& c : cases) {
        CMftRecord record(nullptr, c.builder.Build(40), 40);
        FoundObject t;
        std::string name;
        ASSERT_EQ(record.FillObject(t, name), 1) << c.what;
        EXPECT_EQ(name, c.name) << c.what;
        EXPECT_EQ(t.size, c.size) << c.what;
        EXPECT_EQ(t.parent, 5) << c.what;
    }
}

TEST(MftRecordFill, TimesAndNonAsciiNames) {
    CMftRecord record(nullptr,
                      RecordBuilder().StdInfo(111, 222, 333).FileName(5, "Überblick – naïve.txt", 1).Build(41), 41);
    FoundObject t;
    std::string name;
    ASSERT_EQ(record.FillObject(t, name), 1);
    EXPECT_EQ(name, "Überblick – naïve.txt");
    EXPECT_EQ(t.created, 111u);
    EXPECT_EQ(t.modified, 222u);
    EXPECT_EQ(t.accessed, 333u);
}

// Damaged attribute headers end the walk inside the record.
TEST(MftRecordWalk, LengthsThatLeaveTheRecordEndTheWalk) {
    std::vector<uint8_t> zero(24, 0);
    zero[0] = 0x80;  // a data attribute of length 0
    std::vector<uint8_t> huge(24, 0);
    huge[0] = 0x80;
    huge[5] = 0x40;  // 16 KiB long
    for (const auto& raw : {zero, huge}) {
        CMftRecord record(nullptr, RecordBuilder().FileName(5, "x", 1).Raw(raw).Build(42), 42);
        EXPECT_FALSE(record.FindAttribute(0x80).has_value());
        EXPECT_TRUE(record.FindAttribute(0x30).has_value());
        EXPECT_FALSE(record.HasData());
    }
    // A file name whose length runs past its value is not taken.
    std::vector<uint8_t> image = RecordBuilder().FileName(5, "abc", 1).Build(43);
    image[56 + 24 + 64] = 200;
    CMftRecord record(nullptr, image, 43);
    FoundObject t;
    std::string name;
    ASSERT_EQ(record.FillObject(t, name), 1);
    EXPECT_EQ(name, "");
}

TEST(Lznt1, ChunksLiteralsAndBackReferences) {
    // "ABCD" and a reference 4 back for the rest of the 4 KiB chunk, twice;
    // then a stored (uncompressed) chunk.
    std::vector<uint8_t> in;
    for (int i = 0; i < 2; ++i) in.insert(in.end(), {0x06, 0xB0, 0x10, 'A', 'B', 'C', 'D', 0xF9, 0x3F});
    std::string stored = test::RandomBytes(4096, 3);
    in.push_back(0xFF);
    in.push_back(0x3F);
    in.insert(in.end(), stored.begin(), stored.end());
    std::vector<uint8_t> out(3 * 4096);
    ASSERT_EQ(Lznt1Decompress(in, out.data(), out.size()), int64_t(out.size()));
    for (size_t i = 0; i < 8192; ++i) ASSERT_EQ(out[i], "ABCD"[i % 4]) << i;
    EXPECT_EQ(std::string(out.begin() + 8192, out.end()), stored);

    // A reference before the chunk's start, and a chunk longer than its input.
    const std::vector<uint8_t> before = {0x02, 0xB0, 0x01, 0x00, 0x50};
    EXPECT_EQ(Lznt1Decompress(before, out.data(), out.size()), -1);
    const std::vector<uint8_t> cut = {0x20, 0xB0, 0x00, 'a'};
    EXPECT_EQ(Lznt1Decompress(cut, out.data(), out.size()), -1);
}

}  // namespace
}  // namespace vx
