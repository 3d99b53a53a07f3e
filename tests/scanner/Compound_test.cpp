#include <gtest/gtest.h>

#include "common/Bytes.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/FoundObject.h"
#include "signatures/CompoundDocument.h"
#include "tests/scanner/CompoundWriter.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::BuildCompoundFile;
using test::CompoundStream;

// A directory buffer of 100 entries holding the given names in order.
std::string Directory(const std::vector<std::string>& names) {
    std::string dir(compound::DirectoryReadSize, '\0');
    for (size_t e = 0; e < names.size() && e < 200; ++e) {
        if (e >= compound::EntriesRead) break;
        for (size_t i = 0; i < names[e].size() && i < 31; ++i)
            put16(reinterpret_cast<uint8_t*>(dir.data()) + e * 128 + 2 * i, uint8_t(names[e][i]));
    }
    return dir;
}

int32_t Classify(const std::vector<std::string>& names) {
    std::string dir = Directory(names);
    return ClassifyStreams(AsBytes(dir.data(), dir.size()));
}

TEST(ClassifyStreams, EachStreamNameGivesItsKind) {
    const struct { const char* stream; int32_t id; } cases[] = {
        {"Workbook", 501}, {"WordDocument", 502}, {"PowerPoint Document", 503}, {"Scene", 522},
        {"Props", 506}, {"VisioDocument", 505}, {"Envelope", 508}, {"Symbol 1", 523},
        {"DocumentViewStyles", 520}, {"BodyText", 521}, {"workbook", 501}, {"Symbol", 500},
        {"Symbo", 500}, {"WordDocumentX", 500}, {"Contents", 500},
    };
    for (const auto& c : cases) EXPECT_EQ(Classify({"Root Entry", "Data", c.stream}), c.id) << c.stream;
}

TEST(ClassifyStreams, DirectoryOrderDecidesAndRootEntryIsRequired) {
    EXPECT_EQ(Classify({"Root Entry", "Data", "1Table", "WordDocument"}), 502);
    EXPECT_EQ(Classify({"Root Entry", "Workbook", "WordDocument"}), 501);
    EXPECT_EQ(Classify({"Root Entry", "WordDocument", "Workbook"}), 502);
    EXPECT_EQ(Classify({"ROOT ENTRY", "WordDocument"}), 502);
    EXPECT_EQ(Classify({"Root", "WordDocument"}), 500);
    EXPECT_EQ(Classify({"", "WordDocument"}), 500);

    std::vector<std::string> names(100, "Data");
    names[0] = "Root Entry";
    names[99] = "Workbook";
    EXPECT_EQ(Classify(names), 501);
    std::string dir = Directory(names);
    dir += std::string(128, '\0');  // entry 100 lies beyond what is read
    for (size_t i = 0; i < 8; ++i) put16(reinterpret_cast<uint8_t*>(dir.data()) + 100 * 128 + 2 * i, uint8_t("Workbook"[i]));
    put16(reinterpret_cast<uint8_t*>(dir.data()) + 99 * 128, 'X');
    EXPECT_EQ(ClassifyStreams(AsBytes(dir.data(), dir.size())), 500);
}

TEST(ClassifyStreams, NameWithoutTerminatorIsBoundedByItsField) {
    std::string dir = Directory({"Root Entry"});
    for (size_t i = 0; i < 40; ++i) put16(reinterpret_cast<uint8_t*>(dir.data()) + 128 + 2 * i, 'A');
    EXPECT_EQ(ClassifyStreams(AsBytes(dir.data(), dir.size())), 500);
    EXPECT_EQ(ClassifyStreams(AsBytes(dir.data(), 100)), 500);  // less than one entry
}

class CompoundOnVolume : public ::testing::Test {
protected:
    // An image of `size` bytes with `document` at byte `offset`.
    std::unique_ptr<CVolume> ImageWith(const std::string& document, uint64_t offset, uint64_t size) {
        std::string image(size, '\0');
        image.replace(offset, std::min<uint64_t>(document.size(), size - offset), document.substr(0, size - offset));
        test::WriteFile(dir_ / "volume.img", image);
        auto volume = Computer().OpenSource(dir_ / "volume.img");
        EXPECT_TRUE(volume);
        return volume;
    }
    int32_t ClassifyAt(CVolume& volume, const std::string& document, uint64_t offset, FoundObject& candidate) {
        candidate.start = offset;
        candidate.size = kSizeUnknown;
        return ClassifyCompound(volume, candidate, AsBytes(document.data(), 512));
    }
    test::ScopedConfig config_;
    test::TempDir dir_;
};

TEST_F(CompoundOnVolume, RealWordAndExcelFilesAreNamedAndSized) {
    const std::string doc = test::BuildWordDocument("Hello from Word");
    const std::string xls = test::BuildExcelWorkbook("cells");
    std::string image(1 << 20, '\0');
    image.replace(65536, doc.size(), doc);
    image.replace(262144, xls.size(), xls);
    test::WriteFile(dir_ / "volume.img", image);
    auto volume = Computer().OpenSource(dir_ / "volume.img");
    ASSERT_TRUE(volume);
    FoundObject a, b;
    EXPECT_EQ(ClassifyAt(*volume, doc, 65536, a), 502);
    EXPECT_EQ(a.size, 128u * 1 * 512);
    EXPECT_EQ(ClassifyAt(*volume, xls, 262144, b), 501);
}

TEST_F(CompoundOnVolume, LargeSectorsPlaceTheDirectoryAndSize) {
    // Shift 12, directory sector 1, three allocation-table sectors.
    std::string doc = BuildCompoundFile({{"PowerPoint Document", "slides"}}, {.sectorShift = 12});
    ASSERT_FALSE(doc.empty());
    auto* h = reinterpret_cast<uint8_t*>(doc.data());
    put32(h + compound::FatSectorCount, 3);
    ASSERT_EQ(le16(AsBytes(doc.data() + 8192, 2), 0), 'R');  // the directory is sector 1
    auto volume = ImageWith(doc, 4096, 1 << 20);
    FoundObject c;
    EXPECT_EQ(ClassifyAt(*volume, doc, 4096, c), 503);
    EXPECT_EQ(c.size, 12582912u);
}

TEST_F(CompoundOnVolume, SizeArithmeticDoesNotWrap) {
    std::string doc = test::BuildWordDocument("x");
    put16(reinterpret_cast<uint8_t*>(doc.data()) + compound::SectorShift, 16);
    put32(reinterpret_cast<uint8_t*>(doc.data()) + compound::FatSectorCount, 0xFFFFFFFF);
    put32(reinterpret_cast<uint8_t*>(doc.data()) + compound::FirstDirectorySector, 0);
    auto volume = ImageWith(doc, 0, 1 << 20);
    FoundObject c;
    ClassifyAt(*volume, doc, 0, c);
    EXPECT_EQ(c.size, uint64_t(16384) * (uint64_t(0xFFFFFFFF) * 65536));
}

TEST_F(CompoundOnVolume, UnplaceableHeadersAndDirectoriesAreDropped) {
    const std::string doc = test::BuildWordDocument("x");
    auto volume = ImageWith(doc, 0, 1 << 20);
    for (uint16_t shift : {0, 8, 17, 31}) {
        std::string bad = doc;
        put16(reinterpret_cast<uint8_t*>(bad.data()) + compound::SectorShift, shift);
        FoundObject c;
        EXPECT_EQ(ClassifyAt(*volume, bad, 0, c), 0) << shift;
    }
    std::string far = doc;
    put32(reinterpret_cast<uint8_t*>(far.data()) + compound::FirstDirectorySector, 0x10000000);
    FoundObject c;
    EXPECT_EQ(ClassifyAt(*volume, far, 0, c), 0);
    // A shift of 41 is 9 modulo 32.
    std::string wrapped = doc;
    put16(reinterpret_cast<uint8_t*>(wrapped.data()) + compound::SectorShift, 41);
    EXPECT_EQ(ClassifyAt(*volume, wrapped, 0, c), 502);
}

TEST_F(CompoundOnVolume, DirectoryAtTheVeryEndIsReadShort) {
    const std::string doc = test::BuildExcelWorkbook("x");
    // The volume ends one sector after the directory.
    auto volume = ImageWith(doc, 0, 1024 + 512);
    FoundObject c;
    EXPECT_EQ(ClassifyAt(*volume, doc, 0, c), 501);
}

TEST_F(CompoundOnVolume, NotACompoundHeaderKeepsTheFamily) {
    std::string other(4096, '\0');
    other[0] = char(0xD0);
    put16(reinterpret_cast<uint8_t*>(other.data()) + compound::SectorShift, 9);
    auto volume = ImageWith(other, 0, 1 << 20);
    FoundObject c;
    EXPECT_EQ(ClassifyAt(*volume, other, 0, c), 500);
}

}  // namespace
}  // namespace vx
