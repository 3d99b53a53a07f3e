// The structural size rules over real files made by their tools, and over
// truncated, corrupted and forged copies of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>

#include "signatures/FormatIds.h"
#include "signatures/sizes/SizeRule.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

namespace f = format_id;

struct Case {
    const char* file;
    int32_t format;      // the row that matched the file's start
    int32_t named = 0;   // the format its structure names, when it names one
    bool sized = true;   // false: the format gives no end (the typical-size rule decides)
    bool pixels = false; // the structure gives the image's dimensions
};

const Case kCases[] = {
    {"photo1.jpg", f::Jpeg, 0, true, true},   {"grad1.jpg", f::Jpeg, 0, true, true},
    {"logo1.png", f::Png, 0, true, true},     {"wizard1.gif", f::Gif, 0, true, true},
    {"rose1.bmp", f::Bitmap, 0, true, true},  {"rose1.tif", f::NikonRaw, f::Tiff, true, true},
    {"rose1.webp", f::WebP, 0, true, true},   {"rose1.heic", f::Heif, f::Heif, true, true},
    {"tone1.wav", f::Wave},                   {"clip1.avi", f::Avi},
    {"archive1.zip", f::Zip, f::Zip},         {"library1.jar", f::Zip, f::Jar},
    {"book1.epub", f::Zip, f::Epub},          {"text1.pdf", f::Pdf},
    {"numbers1.txt.gz", f::Gzip},             {"members1.gz", f::Gzip},
    {"tone1.ogg", f::Ogg},                    {"tone1.mp3", f::Mp3},
    {"clip1.mp4", f::Mp4, f::Mp4},            {"clip1.mov", f::QuickTime, f::QuickTime},
    {"clip1.3gp", f::Mobile3gp, f::Mobile3gp}, {"tone1.m4a", f::M4a, f::M4a},
    {"font1.ttf", f::TrueType},               {"program1.elf", f::Elf},
    {"archive1.7z", f::SevenZip},             {"numbers1.bz2", f::Bzip2},
    {"data1.sqlite", f::Sqlite},              {"archive1.tar", f::Tar},
    {"clip1.mkv", f::Matroska},               {"clip1.webm", f::Matroska},
    {"numbers1.xz", f::Xz},                   {"numbers1.zst", f::Zstd},
    {"clip1.asf", f::Asf},                    {"tone1.au", f::Au},
    {"tone1.flac", f::Flac, 0, false},
};

class StructuralSizeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        test::MustRun(std::string(VORNEX_SOURCE_DIR) + "/scripts/make-lost-corpus " + test::Quote(*dir_ / "corpus"));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string Read(const char* name) { return test::ReadFile(*dir_ / (std::string("corpus/") + name)); }

    // The rule over `bytes` followed by `tail` (what follows the file on the volume).
    static StructuralSize Size(int32_t format, const std::string& bytes) {
        std::vector<uint8_t> window;
        MemoryByteSource source(ByteSpan(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        return ReadStructuralSize(format, source, 0, bytes.size(), window);
    }

    static test::TempDir* dir_;
};

test::TempDir* StructuralSizeTest::dir_ = nullptr;

TEST_F(StructuralSizeTest, RealFilesEndWhereTheirStructureEnds) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        const std::string file = Read(c.file);
        ASSERT_FALSE(file.empty());
        // On a volume the file is followed by slack zeros and then another file.
        std::string onVolume = file + std::string(3000, '\0') + Read("logo1.png");
        const StructuralSize s = Size(c.format, onVolume);
        if (!c.sized) {
            EXPECT_EQ(s.verdict, SizeVerdict::Unknown);
            continue;
        }
        ASSERT_EQ(s.verdict, SizeVerdict::Sized);
        EXPECT_EQ(s.size, file.size());
        if (c.named) {
            EXPECT_EQ(s.formatId, c.named);
        }
        if (c.pixels) {
            const std::string wh = test::MustRun("identify -format '%w %h\\n' " +
                                                 test::Quote(*dir_ / (std::string("corpus/") + c.file)) + " | head -1");
            EXPECT_EQ(std::to_string(s.width) + " " + std::to_string(s.height) + "\n", wh);
        }
    }
}

TEST_F(StructuralSizeTest, DamagedCopiesNeverGiveASizePastTheDamage) {
    std::mt19937 random(15);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        const std::string file = Read(c.file);
        // Truncated: the size, if any, lies inside what is there.
        for (size_t cut : {file.size() / 3, file.size() * 2 / 3, file.size() - 1}) {
            const StructuralSize s = Size(c.format, file.substr(0, cut));
            if (s.verdict == SizeVerdict::Sized) {
                EXPECT_LE(s.size, cut);
            }
        }
        // Corrupted in the middle, then followed by zeros: no crash, and a
        // size never reaches past the bytes that exist.
        std::string damaged = file;
        for (size_t i = file.size() / 3; i < file.size() * 2 / 3; i += 97) damaged[i] ^= char(random() | 1);
        damaged += std::string(4096, '\0');
        const StructuralSize s = Size(c.format, damaged);
        if (s.verdict == SizeVerdict::Sized) {
            EXPECT_LE(s.size, damaged.size());
        }
        // The start alone, then noise.
        std::string forged = file.substr(0, std::min<size_t>(64, file.size()));
        for (int i = 0; i < 70000; ++i) forged += char(random());
        const StructuralSize t = Size(c.format, forged);
        if (t.verdict == SizeVerdict::Sized) {
            EXPECT_LE(t.size, forged.size());
        }
    }
}

TEST_F(StructuralSizeTest, StartsThatCannotBeTheFormatAreRejected) {
    struct Forged {
        int32_t format;
        std::string bytes;
    };
    const Forged forged[] = {
        {f::Jpeg, std::string("\xFF\xD8\xFF\xE0\x00\x01garbage", 13)},  // a segment shorter than its length field
        {f::Png, std::string("\x89PNG\r\n\x1A\n\0\0\0\x0Dtext", 16)},      // first chunk not IHDR
        {f::Zip, std::string("PK\x03\x04\x14\0\0\0\x63\0", 10) + std::string(40, '\0')},  // unknown method, no name
        {f::Gzip, std::string("\x1F\x8B\x07\0", 4) + std::string(600, 'x')},  // not deflate
        {f::Tar, std::string(1024, 'a')},                                     // no valid header checksum
    };
    for (const Forged& c : forged) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(Size(c.format, c.bytes).verdict, SizeVerdict::NotThisFormat);
    }
}

}  // namespace
}  // namespace vx
