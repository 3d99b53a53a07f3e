// The memory-backed reader: the size it claims, zeros past its bytes, the
// fault seam over it, and a volume reading through the reader factory.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <vector>

#include "device/Volume.h"
#include "platform/FaultySectorReader.h"
#include "platform/MemorySectorReader.h"

namespace vx {
namespace {

std::shared_ptr<const std::vector<uint8_t>> Bytes(size_t size) {
    auto b = std::make_shared<std::vector<uint8_t>>(size);
    for (size_t i = 0; i < size; ++i) (*b)[i] = uint8_t(i % 251 + 1);
    return b;
}

TEST(MemorySectorReader, ClaimsItsSizeAndReadsZerosPastItsBytes) {
    const uint64_t terabyte = uint64_t(1) << 40;
    auto reader = MakeMemorySectorReader(Bytes(1000), terabyte);
    EXPECT_EQ(reader->Size(), terabyte);
    std::vector<uint8_t> out(1024, 0xEE);
    ASSERT_EQ(reader->ReadAt(out.data(), out.size(), 512), 1024);
    EXPECT_EQ(out[0], uint8_t(512 % 251 + 1));
    EXPECT_EQ(out[487], uint8_t(999 % 251 + 1));
    EXPECT_EQ(out[488], 0);
    EXPECT_EQ(out[1023], 0);
    ASSERT_EQ(reader->ReadAt(out.data(), 512, terabyte - 100), 100);  // short at the claimed end
    EXPECT_EQ(reader->ReadAt(out.data(), 512, terabyte), 0);
    EXPECT_EQ(reader->ReadAt(out.data(), 512, ~uint64_t(0) - 10), 0);
}

TEST(MemorySectorReader, NeverClaimsLessThanItHolds) {
    auto reader = MakeMemorySectorReader(Bytes(3000), 512);
    EXPECT_EQ(reader->Size(), 3000u);
}

TEST(MemorySectorReader, FaultSeamFailsChosenSectorsAndEverythingFromAPoint) {
    auto bad = std::make_shared<const std::set<uint64_t>>(std::set<uint64_t>{1});
    auto reader = MakeFaultySectorReader(MakeMemorySectorReader(Bytes(4096), uint64_t(1) << 30), bad, 8);
    std::vector<uint8_t> out(512);
    int error = 0;
    EXPECT_EQ(reader->ReadAt(out.data(), 512, 0), 512);
    EXPECT_EQ(reader->ReadAt(out.data(), 512, 512, &error), -1);
    EXPECT_EQ(error, EIO);
    EXPECT_EQ(reader->ReadAt(out.data(), 512, 7 * 512), 512);
    EXPECT_EQ(reader->ReadAt(out.data(), 512, 7 * 512 + 1), -1);  // touches sector 8
    EXPECT_EQ(reader->ReadAt(out.data(), 512, uint64_t(1) << 29), -1);
}

TEST(MemorySectorReader, VolumeReadsThroughTheFactory) {
    const std::string path = "/nonexistent/memory-source";
    auto bytes = Bytes(2048);
    SetSectorReaderFactory([&](const std::string& p, std::string* error) -> std::unique_ptr<ISectorReader> {
        if (p != path) return OpenPosixSectorReader(p, error);
        return MakeMemorySectorReader(bytes, uint64_t(1) << 35);
    });
    CVolume volume(VolumeKind::Image, kDriveImage);
    volume.devicePath = path;
    ASSERT_EQ(volume.OpenDrive(), 1);
    EXPECT_EQ(volume.Reader()->Size(), uint64_t(1) << 35);
    std::vector<uint8_t> out(1024);
    EXPECT_EQ(volume.ReadSectors(out.data(), 3, 2), 1024u);
    EXPECT_EQ(out[0], (*bytes)[1536]);
    EXPECT_EQ(out[600], 0);
    SetSectorReaderFactory(nullptr);
}

}  // namespace
}  // namespace vx
