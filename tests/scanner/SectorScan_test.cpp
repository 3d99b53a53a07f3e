#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "common/Bytes.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "settings/ProgramSettings.h"
#include "signatures/SectorScan.h"
#include "tests/scanner/CompoundWriter.h"
#include "tests/scanner/ScanFixture.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::CollectingSink;
using test::PrefixMatcher;

const PrefixMatcher& Formats() {
    static const PrefixMatcher matcher({
        {320, "PK\x03\x04"},  // a format without a structural size rule
        {525, "BM"},
        {524, "RIFF"},        // with "AVI LIST" at 8: see below
        {334, "II*\0", 0},
        {335, "II*\0", 0},
        {500, "\xD0\xCF\x11\xE0"},
        {526, "CD001", 1},
    });
    return matcher;
}

void Put(std::string& image, uint64_t at, const std::string& bytes) { image.replace(at, bytes.size(), bytes); }

struct ScanResult {
    std::vector<FoundObject> found;
    uint64_t unreadable = 0;
    uint64_t total = 0, progress = 0;
};

class SectorScanTest : public ::testing::Test {
protected:
    std::string Image(const std::string& bytes) {
        const std::string path = dir_ / "volume.img";
        test::WriteFile(path, bytes);
        return path;
    }
    ScanResult Scan(const std::string& path, uint32_t workers = 1, const IScanMatcher& matcher = Formats()) {
        Settings().SetWord(settings_offset::ScanWorkerCount, workers);
        auto volume = Computer().OpenSource(path);
        EXPECT_TRUE(volume);
        CollectingSink sink;
        std::atomic<int32_t> running{0};
        std::atomic<uint64_t> total{0}, progress{0};
        CSectorScan scan(*volume, matcher, sink, ScanControl{running, total, progress, 0});
        EXPECT_EQ(scan.RunScan(), 0);
        return {sink.Sorted(), scan.UnreadableSectors(), total.load(), progress.load()};
    }
    test::ScopedConfig config_;
    test::TempDir dir_;
};

TEST_F(SectorScanTest, EveryBoundaryIsTestedUpToTheLastSector) {
    // Not a whole number of blocks: the last block is read short.
    const uint64_t size = 5 * (1 << 20) + 3 * 512;
    std::string image(size, '\0');
    Put(image, 0, "PK\x03\x04");
    Put(image, 2 * 1048576 - 512, "PK\x03\x04");   // last sector of the first block
    Put(image, 2 * 1048576, "PK\x03\x04");         // first of the second
    Put(image, 777, "PK\x03\x04");                 // not on a boundary
    Put(image, size - 512, "PK\x03\x04");
    ScanResult r = Scan(Image(image));
    ASSERT_EQ(r.found.size(), 4u);
    EXPECT_EQ(r.found[0].start, 0u);
    EXPECT_EQ(r.found[1].start, 2u * 1048576 - 512);
    EXPECT_EQ(r.found[2].start, 2u * 1048576);
    EXPECT_EQ(r.found[3].start, size - 512);
    for (const FoundObject& f : r.found) {
        EXPECT_EQ(f.type, 320);
        EXPECT_EQ(f.size, kSizeUnknown);
        EXPECT_EQ(f.flags, 0x1001);
        EXPECT_EQ(f.cluster, f.start / 512);
    }
    EXPECT_EQ(r.total, size / 512);
    EXPECT_EQ(r.progress, size / 512);
    EXPECT_EQ(r.unreadable, 0u);
    EXPECT_EQ(Settings().Word(settings_offset::ScanBlockSize), 2097152u);
    EXPECT_EQ(Settings().Word(settings_offset::ScanMode), 1u);
}

TEST_F(SectorScanTest, SizeRulesOfBitmapAviAndOffsetFormats) {
    std::string image(1 << 20, '\0');
    // A 10 x 10 pixel, 24-bit bitmap header that states 1234 bytes.
    std::string bmp = "BM";
    bmp.resize(54, '\0');
    auto* header = reinterpret_cast<uint8_t*>(bmp.data());
    put32(header + 2, 1234);
    put32(header + 10, 54);
    put32(header + 14, 40);
    put32(header + 18, 10);
    put32(header + 22, 10);
    put16(header + 28, 24);
    Put(image, 4096, bmp);
    const std::string avi("RIFF\x64\0\0\0AVI LIST", 16);
    Put(image, 8192, avi);
    Put(image, 65536 + 1, "CD001");   // an ISO volume descriptor lies 32 KiB into its image
    Put(image, 16384 + 1, "CD001");   // too near the start: dropped
    ScanResult r = Scan(Image(image));
    ASSERT_EQ(r.found.size(), 3u);
    EXPECT_EQ(r.found[0].start, 4096u);
    EXPECT_EQ(r.found[0].size, 1234u);
    EXPECT_EQ(r.found[1].start, 8192u);
    EXPECT_EQ(r.found[1].size, 2148u);
    EXPECT_EQ(r.found[2].type, 526);
    EXPECT_EQ(r.found[2].start, 65536u - 32768);
    EXPECT_EQ(r.found[2].cluster, 65536u / 512);
    EXPECT_EQ(r.found[2].size, kSizeUnknown);
}

TEST_F(SectorScanTest, EveryMatchingFormatGivesItsCandidate) {
    std::string image(1 << 20, '\0');
    Put(image, 512 * 9, std::string("II*\0", 4));
    ScanResult r = Scan(Image(image));
    ASSERT_EQ(r.found.size(), 2u);
    EXPECT_EQ(r.found[0].type, 334);
    EXPECT_EQ(r.found[1].type, 335);
}

TEST_F(SectorScanTest, CompoundDocumentsAreClassifiedFromTheVolume) {
    std::string image(3 << 20, '\0');
    const std::string doc = test::BuildWordDocument("text");
    const std::string xls = test::BuildExcelWorkbook("cells");
    Put(image, 2 * 1048576 - 1024, doc);   // its directory lies in the next block
    Put(image, 512 * 100, xls);
    std::string broken = doc.substr(0, 512);
    put16(reinterpret_cast<uint8_t*>(broken.data()) + 0x1E, 5);
    Put(image, 512 * 1000, broken);
    ScanResult r = Scan(Image(image));
    ASSERT_EQ(r.found.size(), 2u);
    EXPECT_EQ(r.found[0].type, 501);
    EXPECT_EQ(r.found[1].type, 502);
    EXPECT_EQ(r.found[1].size, 65536u);
}

TEST_F(SectorScanTest, UnreadableSectorInsideABlockIsCountedAndTheRestScanned) {
    std::string image(4 << 20, '\0');
    Put(image, 512 * 10, "PK\x03\x04");
    Put(image, 512 * 12, "PK\x03\x04");    // unreadable
    Put(image, 512 * 14, "PK\x03\x04");
    Put(image, 3 * 1048576, "PK\x03\x04");
    const std::string path = Image(image);
    const std::string before = test::Sha256File(path);
    Settings().SetWord(settings_offset::RetryAttempts, 1);
    test::LogMark mark;
    ScanResult r;
    {
        test::ScopedFaultySectors faults(path, {12, 13});
        r = Scan(path);
    }
    ASSERT_EQ(r.found.size(), 3u);
    EXPECT_EQ(r.found[0].start, 512u * 10);
    EXPECT_EQ(r.found[1].start, 512u * 14);
    EXPECT_EQ(r.found[2].start, 3u * 1048576);
    EXPECT_EQ(r.unreadable, 2u);
    EXPECT_TRUE(mark.Contains("Unreadable sectors 12 to 13 scanned as zeros"));
    EXPECT_EQ(test::Sha256File(path), before);
}

TEST_F(SectorScanTest, WhollyUnreadableBlockDoesNotEndTheScan) {
    std::string image(1 << 20, '\0');
    Put(image, 512 * 10, "PK\x03\x04");
    Put(image, 512 * 300, "PK\x03\x04");   // inside the unreadable block
    Put(image, 512 * 900, "PK\x03\x04");
    const std::string path = Image(image);
    Settings().SetWord(settings_offset::RetryAttempts, 0);
    Settings().SetWord(settings_offset::ScanBlockSize, 65536);  // blocks of 128 sectors
    std::set<uint64_t> bad;
    for (uint64_t s = 256; s < 384; ++s) bad.insert(s);
    ScanResult r;
    {
        test::ScopedFaultySectors faults(path, bad);
        r = Scan(path);
    }
    ASSERT_EQ(r.found.size(), 2u);
    EXPECT_EQ(r.found[0].start, 512u * 10);
    EXPECT_EQ(r.found[1].start, 512u * 900);
    EXPECT_EQ(r.unreadable, 128u);
    EXPECT_EQ(r.progress, r.total);
}

TEST_F(SectorScanTest, SeveralWorkersFindTheSame) {
    std::string image(9 << 20, '\0');
    for (uint64_t at = 0; at < image.size(); at += 512 * 37) Put(image, at, "PK\x03\x04");
    const std::string path = Image(image);
    ScanResult one = Scan(path, 1);
    ScanResult four = Scan(path, 4);
    ScanResult many = Scan(path, 1000);  // taken as 64
    ASSERT_EQ(one.found.size(), (image.size() + 512 * 37 - 1) / (512 * 37));
    ASSERT_EQ(four.found.size(), one.found.size());
    ASSERT_EQ(many.found.size(), one.found.size());
    for (size_t i = 0; i < one.found.size(); ++i) EXPECT_EQ(four.found[i].start, one.found[i].start);
}

// Matches every position and is slow, so that a scan takes far longer than a stop may.
class EverywhereMatcher final : public IScanMatcher {
public:
    void MatchAt(ByteSpan, size_t, std::vector<int32_t>& out) const override {
        std::this_thread::sleep_for(std::chrono::microseconds(20));
        out.push_back(320);
    }
};

TEST_F(SectorScanTest, StopEndsTheScanWithinASecond) {
    const std::string path = dir_ / "big.img";
    test::MustRun("truncate -s 4G " + test::Quote(path));
    Settings().SetWord(settings_offset::ScanWorkerCount, 2);
    auto volume = Computer().OpenSource(path);
    ASSERT_TRUE(volume);
    EverywhereMatcher matcher;
    CollectingSink sink;
    std::atomic<int32_t> running{0};
    std::atomic<uint64_t> total{0}, progress{0};
    CSectorScan scan(*volume, matcher, sink, ScanControl{running, total, progress, 0});
    std::atomic<int64_t> stoppedAt{0};
    std::thread stopper([&] {
        // Stop once the scan is well under way (a sanitizer build starts slowly).
        for (int i = 0; i < 2000 && sink.Count() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stoppedAt = std::chrono::steady_clock::now().time_since_epoch().count();
        running = 0;
    });
    scan.RunScan();
    const int64_t endedAt = std::chrono::steady_clock::now().time_since_epoch().count();
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::duration(endedAt - stoppedAt.load()), std::chrono::seconds(1));
    EXPECT_GT(sink.Count(), 0u);
    EXPECT_LT(progress.load(), total.load());
    // Every candidate that was handed over is whole.
    for (const FoundObject& f : sink.Sorted()) {
        EXPECT_EQ(f.flags, 0x1001);
        EXPECT_EQ(f.type, 320);
        EXPECT_EQ(f.start % 512, 0u);
    }
}

TEST_F(SectorScanTest, VolumeThatDoesNotOpenEndsAtOnce) {
    auto volume = std::make_unique<CVolume>(VolumeKind::Image, kDriveImage);
    volume->devicePath = dir_ / "missing.img";
    volume->totalSectors = 1000;
    CollectingSink sink;
    std::atomic<int32_t> running{0};
    std::atomic<uint64_t> total{0}, progress{0};
    CSectorScan scan(*volume, Formats(), sink, ScanControl{running, total, progress, 0});
    EXPECT_EQ(scan.RunScan(), 0);
    EXPECT_EQ(sink.Count(), 0u);
    EXPECT_EQ(progress.load(), 0u);
}

}  // namespace
}  // namespace vx
