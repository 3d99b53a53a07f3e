#include "fs/BitArray.h"

#include <gtest/gtest.h>

#include "tests/fs/FatFixture.h"

namespace vx {
namespace {

TEST(BitArray, SizesBitsAndBounds) {
    CBitArray bits;
    EXPECT_TRUE(bits.SetSize(13, false));
    EXPECT_EQ(bits.ByteLength(), 2u);
    EXPECT_EQ(bits.Bits(), 16u);
    bits.Set(9, true);
    EXPECT_EQ(bits.Data()[1], 0x02);
    EXPECT_TRUE(bits.Get(9));
    EXPECT_FALSE(bits.Get(8));
    bits.Set(16, true);  // beyond the bytes: ignored
    EXPECT_FALSE(bits.Get(16));
    EXPECT_FALSE(bits.Get(1u << 30));
    bits.Set(9, false);
    EXPECT_EQ(bits.Data()[1], 0x00);

    EXPECT_TRUE(bits.SetSize(3, true));
    EXPECT_EQ(bits.Data()[0], 0xFF);
    EXPECT_FALSE(CBitArray().Get(0));
    EXPECT_FALSE(CBitArray(0, false).Data());

    uint8_t outside[4] = {1, 2, 3, 4};
    CBitArray borrowed(outside, 32, false);
    EXPECT_EQ(borrowed.Data(), outside) << "a given buffer is used in place";
    EXPECT_EQ(outside[2], 0);
    borrowed.Set(31, true);
    EXPECT_EQ(outside[3], 0x80);
}

// A FAT16 table beginning F8 FF FF FF FF 0F 00 00: entries 0, 1 and 2 are in
// use, entry 3 is free.
TEST(BitArray, ClusterBitmapOfAFatVolume) {
    test::TempDir dir;
    test::ScopedConfig config;
    const std::string image = dir / "bitmap.img";
    test::MustRun("mkfs.fat -C -F 16 " + test::Quote(image) + " 16384 >/dev/null");
    std::string bytes = test::ReadFile(image);
    const uint32_t reserved = uint8_t(bytes[14]) | (uint8_t(bytes[15]) << 8);
    bytes.replace(size_t(reserved) * 512, 8, std::string("\xF8\xFF\xFF\xFF\xFF\x0F\x00\x00", 8));
    test::WriteFile(image, bytes);
    std::unique_ptr<CVolume> volume = test::OpenImage(image);
    test::AnalyseFat(*volume);
    const CBitArray& bitmap = volume->clusterBitmap;
    auto* fat = dynamic_cast<CFileSystem_FAT*>(volume->analyser.get());
    ASSERT_TRUE(fat);
    EXPECT_EQ(fat->FatEntry(2), 0x0FFFu);
    EXPECT_GE(bitmap.Bits(), fat->entryCount());
    EXPECT_TRUE(bitmap.Get(0));
    EXPECT_TRUE(bitmap.Get(1));
    EXPECT_TRUE(bitmap.Get(2));
    EXPECT_FALSE(bitmap.Get(3));
}

// FAT12 packs two entries in three bytes: F8 FF FF 03 40 00 holds 0xFF8,
// 0xFFF, 0x003 and 0x004.
TEST(BitArray, Fat12EntriesDecodeFromTheirPackedBytes) {
    test::TempDir dir;
    test::ScopedConfig config;
    const std::string image = dir / "fat12.img";
    test::MustRun("mkfs.fat -C -F 12 " + test::Quote(image) + " 1440 >/dev/null");
    std::string bytes = test::ReadFile(image);
    bytes.replace(512, 6, std::string("\xF8\xFF\xFF\x03\x40\x00", 6));
    test::WriteFile(image, bytes);
    std::unique_ptr<CVolume> volume = test::OpenImage(image);
    test::AnalyseFat(*volume);
    auto* fat = dynamic_cast<CFileSystem_FAT*>(volume->analyser.get());
    ASSERT_TRUE(fat);
    EXPECT_EQ(fat->FatEntry(0), 0xFF8u);
    EXPECT_EQ(fat->FatEntry(1), 0xFFFu);
    EXPECT_EQ(fat->FatEntry(2), 0x003u);
    EXPECT_EQ(fat->FatEntry(3), 0x004u);
    std::vector<uint32_t> chain;
    EXPECT_EQ(fat->ClusterChain(2, chain, 100, false), 3u) << "2 -> 3 -> 4 -> free";
}

}  // namespace
}  // namespace vx
