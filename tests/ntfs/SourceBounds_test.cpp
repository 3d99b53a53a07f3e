// Sizes read from a volume are bounded by its source: an mkntfs volume cut to
// 35 KB whose boot sector claims 2^40 sectors and whose $Bitmap claims 4 GiB
// is read as far as it exists, with no allocation sized by those claims, and
// a run reaching past cluster 2^63 is refused rather than mapped.
#include <gtest/gtest.h>
#include <unistd.h>

#include "device/LocalComputer.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "fs/ObjectPath.h"
#include "tests/ntfs/NtfsFixtures.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::CraftedImage;
using test::RecordBuilder;

constexpr uint64_t kSourceBytes = 35 * 1024;

TEST(NtfsSourceBounds, AVolumeLargerThanItsSourceIsReadAsFarAsItExists) {
    test::TempDir dir;
    test::ScopedConfig config;
    CraftedImage image(dir / "cut.img", "-c 4096");
    // $Bitmap: 4 GiB of data in one cluster.
    image.PutRecord(6, RecordBuilder()
                           .StdInfo(1, 2, 3)
                           .FileName(5, "$Bitmap", 3)
                           .NonResidentData(test::Pairs({{1, 6}}), uint64_t(4) << 30)
                           .Build(6));
    // A file whose one run starts near cluster 2^63 and runs past it.
    const std::vector<uint8_t> far = {0x81, 16, 0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
    image.PutRecord(16, RecordBuilder().FileName(5, "far.bin", 1).NonResidentData(far, 16 * 4096).Build(16));
    std::string sectors(8, '\0');
    for (int i = 0; i < 8; ++i) sectors[size_t(i)] = char((uint64_t(1) << 40) >> (8 * i));
    image.PutBytes(0x28, sectors);
    ASSERT_EQ(truncate(image.path().c_str(), off_t(kSourceBytes)), 0);

    std::unique_ptr<CVolume> volume = Computer().OpenSource(image.path());
    ASSERT_TRUE(volume);
    ASSERT_EQ(volume->ParseBootSector(), 1);
    ASSERT_EQ(volume->typeCode, 7u);
    test::LogMark mark;
    TheAnalysisState().running = 1;
    AnalyseFileSystem(*volume);
    TheAnalysisState().running = 0;

    EXPECT_TRUE(mark.Contains("NTFS volume is larger than its source")) << testing::PrintToString(mark.NewLines());
    auto* fs = static_cast<CFileSystem_NTFS*>(volume->analyser.get());
    EXPECT_LE(fs->PresentClusters(), (kSourceBytes + 4095) / 4096);
    EXPECT_LE(volume->clusterBitmap.ByteLength(), 8u) << "one bit per cluster the source holds";
    // What the source holds is listed; the file beyond 2^63 reads nothing.
    bool sawBitmap = false;
    const FoundObject* farFile = nullptr;
    for (FoundObject* r : volume->collection.Snapshot()) {
        const std::string path = ObjectPath(volume->collection, *r);
        sawBitmap = sawBitmap || path == "/$Bitmap";
        if (path == "/far.bin") farFile = r;
    }
    EXPECT_TRUE(sawBitmap);
    ASSERT_NE(farFile, nullptr);
    std::vector<uint8_t> buffer(16 * 4096);
    EXPECT_EQ(volume->ReadObjectData(*farFile, buffer.data(), 0, uint32_t(buffer.size())), 0u);
}

}  // namespace
}  // namespace vx
