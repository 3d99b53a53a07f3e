// The sector phase over a volume with the full built-in format table: what
// each kind of match becomes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/Notifier.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "settings/ProgramSettings.h"
#include "signatures/FileTypeDatabase.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

class SectorAnalysisTest : public ::testing::Test {
protected:
    void SetUp() override { FileTypes().LoadDatabase(); }

    // A 4 MiB image with `parts` written at their byte offsets.
    CVolume* Volume(const std::vector<std::pair<uint64_t, std::string>>& parts) {
        std::string image(4 << 20, '\0');
        for (const auto& [at, bytes] : parts) image.replace(at, bytes.size(), bytes);
        const std::string path = dir_ / ("v" + std::to_string(++images_) + ".img");
        test::WriteFile(path, image);
        return Computer().LoadImage(path);
    }
    // The first sector of a freshly made FAT32 volume.
    std::string Fat32BootSector() {
        const std::string path = dir_ / "fat32.img";
        MustRun("mkfs.fat -C -F 32 -s 1 -n INSIDE " + Quote(path) + " 40960 >/dev/null");
        return test::ReadFile(path).substr(0, 512);
    }
    // A small archive and a small TIFF image, made by their tools.
    std::string Zip() {
        test::WriteFile(dir_ / "note.txt", "a note\n");
        MustRun("cd " + Quote(dir_.path()) + " && zip -q -X note.zip note.txt");
        return test::ReadFile(dir_ / "note.zip");
    }
    std::string Tiff() {
        MustRun("convert -size 4x3 xc:red " + Quote(dir_ / "red.tif"));
        return test::ReadFile(dir_ / "red.tif");
    }
    static const FoundObject* At(CVolume& volume, uint64_t start) { return volume.collection.FindByPosition(start); }

    test::ScopedConfig config_;
    test::TempDir dir_;
    int images_ = 0;
};

TEST_F(SectorAnalysisTest, EachKindOfMatchBecomesWhatItIs) {
    const std::string tiff = Tiff();
    CVolume* volume = Volume({{512 * 20, tiff}, {1 << 20, Fat32BootSector()}, {512 * 40, "FILE0\0\3\0"},
                              {(4 << 20) - 512, "%PDF-1.5\n"}});
    ASSERT_TRUE(volume);
    test::RecordingNotifier notifier;
    test::LogMark mark;
    AnalyseSectors(*volume);

    // One lost file for the TIFF header: the first TIFF-like format in list
    // order matches, and the image's own directory names it a plain TIFF.
    const FoundObject* photo = At(*volume, 512 * 20);
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->type, 87);
    EXPECT_STREQ(photo->name, "image_10240.TIFF");
    EXPECT_EQ(photo->size, tiff.size());
    EXPECT_EQ(photo->width, 4u);
    EXPECT_EQ(photo->height, 3u);
    EXPECT_EQ(photo->flags & 0x1001, 0x1001);
    const FoundObject* group = volume->collection.FindFolder(photo->parent);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->parent, object_id::LostFiles);
    // A header in the last sector of the volume is found.
    const FoundObject* pdf = At(*volume, (4 << 20) - 512);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->type, 47);
    // The FAT32 boot sector is a Found volume, not a lost file; the NTFS record is nothing.
    ASSERT_TRUE(At(*volume, 1 << 20));
    EXPECT_FALSE(At(*volume, 1 << 20)->IsFoundByContent());  // the Found volume's node
    EXPECT_FALSE(At(*volume, 512 * 40));
    bool found = false;
    for (CVolume* child : volume->Children())
        found |= child->rootRecord.start == (1 << 20) && child->typeCode == 11;
    EXPECT_TRUE(found);

    // Four formats match the TIFF header; the file counts once.
    EXPECT_EQ(volume->sectorFilesFound.load(), 2u);
    EXPECT_TRUE(mark.Contains("Beginning drive sectors analysis, searching lost files."));
    EXPECT_TRUE(mark.Contains("Analyze Finished. Found 0 folder(s) and 2 file(s)."));
    const auto events = notifier.analysisEvents();
    EXPECT_NE(std::find(events.begin(), events.end(), WM_SECTOR_ANALYSIS_DONE), events.end());
}

TEST_F(SectorAnalysisTest, ObjectAlreadyListedIsMarkedSeenAgain) {
    CVolume* volume = Volume({{512 * 8, Zip()}, {512 * 9, Zip()}});
    ASSERT_TRUE(volume);
    FoundObject known;
    known.start = 512 * 8;
    known.size = 100;
    known.id = 77;
    known.parent = volume->collection.rootId;
    known.name = "known.zip";
    volume->collection.AddFromFileSystem(known);
    const size_t before = volume->collection.Count();
    AnalyseSectors(*volume);
    const FoundObject* listed = At(*volume, 512 * 8);
    ASSERT_TRUE(listed);
    EXPECT_STREQ(listed->name, "known.zip");
    EXPECT_TRUE(listed->Is(object_flag::SeenAgain));
    ASSERT_TRUE(At(*volume, 512 * 9));
    EXPECT_FALSE(At(*volume, 512 * 9)->Is(object_flag::SeenAgain));
    EXPECT_GT(volume->collection.Count(), before);
}

TEST_F(SectorAnalysisTest, SearchOnlyAddsNoLostFiles) {
    CVolume* volume = Volume({{512 * 8, Zip()}, {1 << 20, Fat32BootSector()}});
    ASSERT_TRUE(volume);
    volume->searchOnly = 1;
    AnalyseSectors(*volume);
    EXPECT_FALSE(At(*volume, 512 * 8));
    EXPECT_EQ(volume->Children().size(), 1u);
}

TEST_F(SectorAnalysisTest, FullAnalysisAfterASearchListsLostFilesAgain) {
    // No boot sector inside: the analysis scans this volume itself.
    CVolume* volume = Volume({{512 * 8, Zip()}});
    ASSERT_TRUE(volume);
    ASSERT_EQ(Computer().SearchLostDisks(*volume), 1);
    volume->WaitForSectorAnalysis();
    EXPECT_FALSE(At(*volume, 512 * 8));
    EXPECT_EQ(volume->searchOnly.load(), 1u);

    AnalysisController().StartAnalysis(volume);
    ASSERT_TRUE(AnalysisController().WaitForAnalysis(volume, 30000));
    ASSERT_TRUE(At(*volume, 512 * 8));
    EXPECT_EQ(At(*volume, 512 * 8)->type, 300);
    EXPECT_EQ(volume->searchOnly.load(), 0u);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// "Scan free drive space only": the clusters in use are neither read nor
// tested; what lies in free clusters is found, and a deleted file the
// directory still lists is not listed twice.
TEST(FreeSpaceScanTest, ReadsAndTestsOnlyFreeClusters) {
    test::ScopedConfig config;
    test::TempDir dir;
    FileTypes().LoadDatabase();
    const std::string image = dir / "card.img";
    MustRun("truncate -s 40M " + Quote(image) + " && mkfs.fat -F 32 -s 1 " + Quote(image) + " >/dev/null");
    MustRun("convert logo: " + Quote(dir / "live.png") + " && convert rose: " + Quote(dir / "gone.gif") +
            " && convert wizard: " + Quote(dir / "lost.jpg"));
    // Most of the card is taken by a live file.
    MustRun("head -c 30M /dev/urandom > " + Quote(dir / "live.bin"));
    MustRun("mcopy -i " + Quote(image) + " " + Quote(dir / "live.png") + " " + Quote(dir / "gone.gif") + " " +
            Quote(dir / "live.bin") + " ::/");
    MustRun("mdel -i " + Quote(image) + " ::/gone.gif");
    // A file whose entry is gone altogether, in free clusters near the end.
    const uint64_t lostAt = (40u << 20) - (1u << 20);
    MustRun("dd if=" + Quote(dir / "lost.jpg") + " of=" + Quote(image) + " bs=512 seek=" + std::to_string(lostAt / 512) +
            " conv=notrunc status=none");

    Settings().SetFlag(settings_offset::ScanFreeSpaceOnly, true);
    CVolume* volume = Computer().LoadImage(image);
    ASSERT_TRUE(volume);
    AnalysisController().StartAnalysis(volume);
    ASSERT_TRUE(AnalysisController().WaitForAnalysis(volume, 60000));
    Settings().SetFlag(settings_offset::ScanFreeSpaceOnly, false);

    EXPECT_GT(volume->scanBytesRead.load(), 0u);
    EXPECT_LT(volume->scanBytesRead.load(), volume->totalBytes - (30u << 20));
    const FoundObject* lost = volume->collection.FindByPosition(lostAt);
    ASSERT_TRUE(lost);
    EXPECT_TRUE(lost->IsFoundByContent());
    EXPECT_EQ(lost->size, test::ReadFile(dir / "lost.jpg").size());
    size_t gifs = 0, pngsByContent = 0;
    volume->collection.Visit([&](const FoundObject& r) {
        if (r.IsFoundByContent() && r.type == 85) ++gifs;
        if (r.IsFoundByContent() && r.type == 88) ++pngsByContent;
    });
    EXPECT_EQ(gifs, 0u);           // the deleted GIF is listed once, by its entry
    EXPECT_EQ(pngsByContent, 0u);  // the live PNG's clusters are not scanned
}

}  // namespace
}  // namespace vx
