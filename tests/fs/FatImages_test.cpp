// The FAT analysis on images made by mkfs.fat and mtools: folders, long
// names, deleted files and folders, and fragmented files, live and deleted.
#include <gtest/gtest.h>

#include "fs/FatTime.h"
#include "fs/ObjectRuns.h"
#include "tests/fs/FatFixture.h"

namespace vx {
namespace {

using test::Mtools;
using test::Quote;

struct SourceFile {
    std::string path;    // inside the image
    size_t size;
    bool deleted;
    std::string listed;  // the path it is listed under, when not `path`
};

// Files written into every image. The fragmented ones are written by the
// script below; deleted ones are removed at the end.
const std::vector<SourceFile> kFiles = {
    {"/readme.txt", 6, false, ""},
    {"/DOCS/Résumé été.txt", 1500, false, ""},
    {"/DOCS/SUB/日本語のファイル.txt", 700, false, ""},
    {"/DOCS/SUB/DEEP/deep file.bin", 3000, false, ""},
    {"/DOCS/old report.txt", 2000, true, ""},
    // Short names lose their first character when deleted.
    {"/TRASH/gone1.txt", 600, true, "/_RASH/_one1.txt"},
    {"/TRASH/INNER/gone2.bin", 1100, true, "/_RASH/_NNER/_one2.bin"},
    {"/FRAG/big fragment.bin", 9000, false, ""},
    {"/FRAG/deleted fragment.bin", 9000, true, ""},
};

struct ImageKind {
    const char* name;
    const char* mkfs;
    uint32_t typeCode;
};

const ImageKind kKinds[] = {
    {"Fat12Floppy", "mkfs.fat -C -F 12 IMG 1440", 1},
    {"Fat16", "mkfs.fat -C -F 16 -s 4 IMG 16384", 4},
    {"Fat32", "mkfs.fat -C -F 32 -s 1 IMG 40000", 11},
    {"Fat16Sectors4096", "mkfs.fat -C -S 4096 -s 1 -F 16 IMG 65536", 4},
};

class FatImageTest : public ::testing::TestWithParam<ImageKind> {
protected:
    static void SetUpTestSuite() { dir_ = new test::TempDir; }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    // Builds the image of this kind once, with its source files beside it.
    static std::string Build(const ImageKind& kind) {
        const std::string image = *dir_ / (std::string(kind.name) + ".img");
        if (test::Run("test -s " + Quote(image)).status == 0) return image;
        const std::string src = *dir_ / (std::string(kind.name) + "-src");
        std::string mkfs = kind.mkfs;
        mkfs.replace(mkfs.find("IMG"), 3, Quote(image));
        test::MustRun(mkfs + " >/dev/null");
        test::MustRun("mkdir -p " + Quote(src + "/DOCS/SUB/DEEP") + " " + Quote(src + "/TRASH/INNER") + " " +
                      Quote(src + "/FRAG"));
        uint32_t seed = 1;
        for (const SourceFile& f : kFiles) test::WriteFile(src + f.path, test::RandomBytes(f.size, seed++));
        test::WriteFile(src + "/readme.txt", "hello\n");
        test::WriteFile(src + "/chunk", test::RandomBytes(512, 99));
        test::MustRun("find " + Quote(src) + " -type f -exec touch -d '2021-06-15 10:20:30 UTC' {} +");
        const std::string i = "-i " + Quote(image) + " ";
        // FAT32's free-cluster hint sends mtools past every hole; clearing it
        // makes it fill holes from the start, as the fragmenting needs.
        const std::string clearHint =
            kind.typeCode == 11 ? "printf '\\377\\377\\377\\377' | dd of=" + Quote(image) +
                                      " bs=1 seek=1004 conv=notrunc status=none; "
                                : "";
        auto put = [&](const std::string& from, const std::string& to) {
            return Mtools("mcopy -m " + i + Quote(src + from) + " " + Quote("::" + to)) + "; ";
        };
        std::string script = Mtools("mmd " + i + "::/DOCS ::/DOCS/SUB ::/DOCS/SUB/DEEP ::/TRASH ::/TRASH/INNER ::/FRAG") + "; ";
        for (const SourceFile& f : kFiles)
            if (f.path.rfind("/FRAG/", 0) != 0) script += put(f.path, f.path);
        for (int n = 1; n <= 6; ++n) script += put("/chunk", "/FRAG/h" + std::to_string(n));
        script += Mtools("mdel " + i + "::/FRAG/h1 ::/FRAG/h3 ::/FRAG/h5") + "; " + clearHint;
        script += put("/FRAG/big fragment.bin", "/FRAG/big fragment.bin");
        for (int n = 1; n <= 4; ++n) script += put("/chunk", "/FRAG/g" + std::to_string(n));
        script += Mtools("mdel " + i + "::/FRAG/g1 ::/FRAG/g3") + "; " + clearHint;
        script += put("/FRAG/deleted fragment.bin", "/FRAG/deleted fragment.bin");
        script += Mtools("mdel " + i + Quote("::/FRAG/deleted fragment.bin") + " " + Quote("::/DOCS/old report.txt")) + "; ";
        script += Mtools("mdeltree " + i + "::/TRASH");
        test::MustRun("set -e; " + script);
        return image;
    }

    static test::TempDir* dir_;
    test::ScopedConfig config_;
};

test::TempDir* FatImageTest::dir_ = nullptr;

TEST_P(FatImageTest, ListsLiveAndDeletedObjectsWithTheirData) {
    const ImageKind& kind = GetParam();
    const std::string image = Build(kind);
    const std::string src = *dir_ / (std::string(kind.name) + "-src");
    std::unique_ptr<CVolume> volume = test::OpenImage(image);
    ASSERT_TRUE(volume);
    ASSERT_EQ(volume->typeCode, kind.typeCode);
    test::AnalyseFat(*volume);
    auto listing = test::Listing(*volume);

    std::string all;
    for (const auto& [path, r] : listing) all += path + (r.IsDeleted() ? " (deleted)\n" : "\n");
    SCOPED_TRACE(all);

    for (const char* folder : {"/DOCS", "/DOCS/SUB", "/DOCS/SUB/DEEP", "/FRAG"}) {
        ASSERT_TRUE(listing.count(folder)) << folder;
        EXPECT_TRUE(listing[folder].IsFolder());
        EXPECT_FALSE(listing[folder].IsDeleted());
    }
    for (const char* folder : {"/_RASH", "/_RASH/_NNER"}) {
        ASSERT_TRUE(listing.count(folder)) << folder;
        EXPECT_TRUE(listing[folder].IsFolder() && listing[folder].IsDeleted()) << folder;
    }
    const uint64_t stamp = DosDateTimeToFileTime((41 << 9) | (6 << 5) | 15, (10 << 11) | (20 << 5) | 15);
    for (const SourceFile& f : kFiles) {
        const std::string listed = f.listed.empty() ? f.path : f.listed;
        ASSERT_TRUE(listing.count(listed)) << listed;
        const FoundObject& r = listing[listed];
        EXPECT_EQ(r.IsDeleted(), f.deleted) << f.path;
        EXPECT_FALSE(r.IsFolder()) << f.path;
        EXPECT_EQ(r.size, std::string(f.path) == "/readme.txt" ? 6u : f.size) << f.path;
        EXPECT_EQ(r.modified, stamp) << f.path;
        EXPECT_NE(r.created, 0u) << f.path;
        EXPECT_EQ(test::Sha256Bytes(test::ReadObject(*volume, r)), test::Sha256File(src + f.path)) << f.path;
    }
    EXPECT_EQ(volume->fsFilesFound.load() + volume->fsFoldersFound.load(), listing.size());
    EXPECT_TRUE(volume->collection.CopyChildren(object_id::LostFolders).empty());
}

TEST_P(FatImageTest, SectorRunsListTheFragmentsInFileOrder) {
    const std::string src = *dir_ / (std::string(GetParam().name) + "-src");
    std::unique_ptr<CVolume> volume = test::OpenImage(Build(GetParam()));
    test::AnalyseFat(*volume);
    auto listing = test::Listing(*volume);
    for (const char* path : {"/FRAG/big fragment.bin", "/FRAG/deleted fragment.bin", "/readme.txt"}) {
        SCOPED_TRACE(path);
        const FoundObject& object = listing[path];
        const std::vector<SectorRun> runs = ObjectSectorRuns(*volume, object);
        ASSERT_FALSE(runs.empty());
        if (std::string(path).find("fragment") != std::string::npos) {
            EXPECT_GE(runs.size(), 2u);
        }
        std::string data;
        uint64_t sectors = 0;
        for (const SectorRun& run : runs) {
            std::string bytes(run.count * kSectorSize, '\0');
            ASSERT_EQ(volume->ReadSectors(bytes.data(), run.start, run.count), bytes.size());
            data += bytes;
            sectors += run.count;
        }
        EXPECT_EQ(sectors, (object.size + kSectorSize - 1) / kSectorSize);
        data.resize(object.size);
        EXPECT_EQ(test::Sha256Bytes(data), test::Sha256File(src + path));
    }
}

TEST_P(FatImageTest, FragmentedFilesReallyAreFragmented) {
    std::unique_ptr<CVolume> volume = test::OpenImage(Build(GetParam()));
    test::AnalyseFat(*volume);
    auto listing = test::Listing(*volume);
    auto* fat = dynamic_cast<CFileSystem_FAT*>(volume->analyser.get());
    ASSERT_TRUE(fat);
    const FoundObject& big = listing["/FRAG/big fragment.bin"];
    std::vector<uint32_t> chain;
    fat->ClusterChain(uint32_t(big.cluster), chain, 1000, false);
    ASSERT_GE(chain.size(), 2u);
    bool gap = false;
    for (size_t k = 1; k < chain.size(); ++k) gap |= chain[k] != chain[k - 1] + 1;
    EXPECT_TRUE(gap) << "the live file's chain has holes";
    // The clusters right after the deleted file's first cluster are in use.
    const FoundObject& gone = listing["/FRAG/deleted fragment.bin"];
    EXPECT_EQ(fat->FatEntry(uint32_t(gone.cluster)), 0u);
    EXPECT_NE(fat->FatEntry(uint32_t(gone.cluster) + 1), 0u);
}

// An unreadable sector inside the FAT costs only the entries it holds.
TEST_P(FatImageTest, AnUnreadableFatSectorCostsOnlyItsEntries) {
    const ImageKind& kind = GetParam();
    const std::string image = Build(kind);
    const std::string src = *dir_ / (std::string(kind.name) + "-src");
    const std::string boot = test::ReadFile(image).substr(0, 512);
    const uint32_t bytesPerSector = uint8_t(boot[11]) | (uint8_t(boot[12]) << 8);
    const uint32_t reserved = uint8_t(boot[14]) | (uint8_t(boot[15]) << 8);
    // The FAT's second sector: entries of clusters far above the files here.
    const uint64_t bad = (uint64_t(reserved) * bytesPerSector + bytesPerSector) / 512;
    test::ScopedFaultySectors faulty(image, {bad});
    test::LogMark mark;
    std::unique_ptr<CVolume> volume = test::OpenImage(image);
    test::AnalyseFat(*volume);
    EXPECT_GT(faulty.failures(), 0u);
    EXPECT_TRUE(mark.Contains("FAT sector(s) not readed"));
    auto listing = test::Listing(*volume);
    ASSERT_TRUE(listing.count("/FRAG/big fragment.bin"));
    EXPECT_EQ(test::Sha256Bytes(test::ReadObject(*volume, listing["/FRAG/big fragment.bin"])),
              test::Sha256File(src + "/FRAG/big fragment.bin"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, FatImageTest, ::testing::ValuesIn(kKinds),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vx
