// The analyser over volumes made by the real tools: mkntfs in several
// geometries with files copied in by ntfscp, and a volume filled through an
// ntfs-3g mount with folders, long names, fragmented, sparse, compressed and
// deleted files. Every live file, and every deleted one whose clusters were
// not reused, must read back byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "fs/NtfsLayout.h"
#include "fs/ObjectRuns.h"
#include "tests/ntfs/NtfsFixtures.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

// Parses the object's record again, as FileRead does.
CMftRecord RecordOf(const test::Analysis& a, const FoundObject& o) {
    std::vector<uint8_t> image(a.fs->RecordSize());
    EXPECT_EQ(a.fs->ReadRecord(o.id, image.data()), a.fs->RecordSize());
    CMftRecord record(a.fs, image, o.id);
    record.LoadAttributeList();
    return record;
}

struct Geometry {
    const char* options;
    uint32_t recordSize;
};

class NtfscpGeometry : public ::testing::TestWithParam<Geometry> {};

// ntfscp copies files in without mounting. Clusters smaller than a record,
// 64 KiB clusters, and 4096-byte sectors (whose records are 4096 bytes with a
// clusters-per-record byte of 1, protected by eight update-sequence words).
TEST_P(NtfscpGeometry, FilesCopiedInReadBack) {
    test::TempDir dir;
    const std::string image = dir / "v.img";
    test::MustRun("truncate -s 16M " + Quote(image) + " && mkntfs -F -Q -q " + GetParam().options + " " +
                  Quote(image) + " 2>/dev/null");
    const std::pair<const char*, size_t> files[] = {{"resident.bin", 2000}, {"small.txt", 100}, {"medium.bin", 70000}};
    for (auto [name, size] : files) {
        test::WriteFile(dir / name, test::RandomBytes(size, uint32_t(size)));
        test::MustRun("ntfscp " + Quote(image) + " " + Quote(dir / name) + " " + name);
    }
    test::Analysis a = test::Analyse(image);
    EXPECT_EQ(a.fs->RecordSize(), GetParam().recordSize);
    EXPECT_EQ(a.fs->DamagedRecords(), 0u);
    for (auto [name, size] : files) {
        const FoundObject* o = a.ByPath(name);
        ASSERT_NE(o, nullptr) << name;
        EXPECT_EQ(o->size, size) << name;
        EXPECT_FALSE(o->IsDeleted());
        EXPECT_EQ(a.ReadAll(*o), test::ReadFile(dir / name)) << name << " with " << GetParam().options;
    }
    // $Boot is one run at cluster 0: the boot sector and its loader, not a hole.
    const FoundObject* boot = a.ByPath("$Boot");
    ASSERT_NE(boot, nullptr);
    ASSERT_GE(boot->size, 512u);
    EXPECT_EQ(a.ReadAll(*boot), test::ReadFile(image).substr(0, boot->size)) << GetParam().options;
}

INSTANTIATE_TEST_SUITE_P(Mkntfs, NtfscpGeometry,
                         ::testing::Values(Geometry{"-c 512", 1024}, Geometry{"-c 65536", 1024},
                                           Geometry{"-s 4096 -c 4096", 4096}));

// A volume shaped through an ntfs-3g FUSE mount, built once.
class MountedVolume : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (access("/dev/fuse", R_OK | W_OK) != 0) {
            skip_ = "FUSE is not available here (/dev/fuse missing); the crafted-volume tests cover "
                    "sparse, compressed and extension-record data";
            return;
        }
        dir_ = new test::TempDir;
        image_ = *dir_ / "mounted.img";
        const std::string mnt = *dir_ / "mnt", src = *dir_ / "src";
        test::MustRun("mkdir -p " + Quote(mnt) + " " + Quote(src) + " && truncate -s 16M " + Quote(image_) +
                      " && mkntfs -F -Q -q -c 1024 " + Quote(image_) + " 2>/dev/null");
        if (test::Run("ntfs-3g -o compression " + Quote(image_) + " " + Quote(mnt)).status != 0) {
            skip_ = "ntfs-3g could not mount an image here (FUSE unusable)";
            return;
        }
        auto put = [&](const std::string& path, const std::string& bytes) {
            std::filesystem::create_directories(std::filesystem::path(src + "/" + path).parent_path());
            test::WriteFile(src + "/" + path, bytes);
            test::WriteFile(mnt + "/" + path, bytes);
            live_.push_back(path);
        };
        std::filesystem::create_directories(mnt + "/Docs/Nested/Deeper");
        put("Docs/Nested/Deeper/deep.txt", test::RandomBytes(3000, 1));
        put("Docs/small.txt", "a resident file\n");
        longName_ = "Überblick Ergebnisse – naïve résumé";
        while (longName_.size() < 180) longName_ += " und so weiter";
        longName_ += ".txt";
        put("Docs/" + longName_, test::RandomBytes(12345, 2));
        // Sparse: 5000 bytes, a hole up to 3 MiB, 7000 bytes.
        const std::string sparse = test::RandomBytes(5000, 3) + std::string(3145728 - 5000, '\0') + test::RandomBytes(7000, 4);
        test::WriteFile(src + "/sparse.bin", sparse);
        test::MustRun("head -c 5000 " + Quote(src + "/sparse.bin") + " > " + Quote(mnt + "/sparse.bin") +
                      " && tail -c 7000 " + Quote(src + "/sparse.bin") + " | dd of=" + Quote(mnt + "/sparse.bin") +
                      " bs=4096 seek=768 conv=notrunc 2>/dev/null");
        live_.push_back("sparse.bin");
        // Compressed: a folder with the compressed attribute passes it on.
        std::filesystem::create_directories(mnt + "/Packed");
        test::MustRun("setfattr -n system.ntfs_attrib_be -v 0x00000800 " + Quote(mnt + "/Packed"));
        std::string text;
        for (int i = 0; text.size() < 300000; ++i) text += "line " + std::to_string(i % 97) + " of a compressible text\n";
        put("Packed/text.txt", text + test::RandomBytes(20000, 5));
        // Units of nothing but zeros are stored as holes.
        put("Packed/zeros.bin", test::RandomBytes(10000, 8) + std::string(200000, '\0') + test::RandomBytes(10000, 9));
        // Fragmented: small files, the rest filled, every other one removed,
        // then a large file that has only the holes to go to.
        std::filesystem::create_directories(mnt + "/frag");
        for (int i = 0; i < 400; ++i) {
            const std::string path = "frag/f" + std::to_string(i);
            if (i % 2) put(path, test::RandomBytes(4096, 100 + i));
            else test::WriteFile(mnt + "/" + path, test::RandomBytes(4096, 100 + i));
        }
        test::Run("dd if=/dev/zero of=" + Quote(mnt + "/filler") + " bs=64k");
        for (int i = 0; i < 400; i += 2) std::filesystem::remove(mnt + "/frag/f" + std::to_string(i));
        put("big.bin", test::RandomBytes(700000, 6));
        std::filesystem::remove(mnt + "/filler");
        // Deleted last, so nothing reuses their clusters.
        std::filesystem::create_directories(mnt + "/OldDir");
        std::filesystem::create_directories(src + "/OldDir");
        for (const char* path : {"gone.bin", "OldDir/inner.txt"}) {
            const std::string bytes = test::RandomBytes(std::string(path) == "gone.bin" ? 40000 : 3000, 7);
            test::WriteFile(src + "/" + path, bytes);
            test::WriteFile(mnt + "/" + path, bytes);
        }
        test::MustRun("sync && rm " + Quote(mnt + "/gone.bin") + " && rm -r " + Quote(mnt + "/OldDir"));
        test::MustRun("umount " + Quote(mnt));
        analysis_ = new test::Analysis(test::Analyse(image_));
    }
    static void TearDownTestSuite() {
        delete analysis_;
        analysis_ = nullptr;
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (!skip_.empty()) GTEST_SKIP() << skip_;
        ASSERT_NE(analysis_, nullptr);
    }
    static std::string Source(const std::string& path) { return test::ReadFile(*dir_ / ("src/" + path)); }

    static test::TempDir* dir_;
    static test::Analysis* analysis_;
    static std::string image_, skip_, longName_;
    static std::vector<std::string> live_;
};

test::TempDir* MountedVolume::dir_ = nullptr;
test::Analysis* MountedVolume::analysis_ = nullptr;
std::string MountedVolume::image_, MountedVolume::skip_, MountedVolume::longName_;
std::vector<std::string> MountedVolume::live_;

TEST_F(MountedVolume, EveryLiveFileReadsBackByteForByte) {
    const test::Analysis& a = *analysis_;
    EXPECT_EQ(a.fs->DamagedRecords(), 0u);
    for (const std::string& path : live_) {
        const FoundObject* o = a.ByPath(path);
        ASSERT_NE(o, nullptr) << path;
        EXPECT_FALSE(o->IsDeleted()) << path;
        const std::string expected = Source(path);
        EXPECT_EQ(o->size, expected.size()) << path;
        EXPECT_TRUE(a.ReadAll(*o) == expected) << path;
    }
    for (const char* folder : {"Docs", "Docs/Nested", "Docs/Nested/Deeper", "Packed", "frag"}) {
        const FoundObject* o = a.ByPath(folder);
        ASSERT_NE(o, nullptr) << folder;
        EXPECT_TRUE(o->IsFolder()) << folder;
    }
    EXPECT_NE(a.ByPath("Docs/" + longName_), nullptr);
}

TEST_F(MountedVolume, FragmentedSparseAndCompressedFilesAreWhatTheyClaim) {
    const test::Analysis& a = *analysis_;
    CMftRecord big = RecordOf(a, *a.ByPath("big.bin"));
    EXPECT_GT(big.Runs().size(), 20u);
    // ntfs-3g moved its name and the rest of its runs into extension records.
    EXPECT_TRUE(big.HasAttributeList());
    CMftRecord sparse = RecordOf(a, *a.ByPath("sparse.bin"));
    EXPECT_TRUE(std::any_of(sparse.Runs().begin(), sparse.Runs().end(), [](const DataRun& r) { return r.sparse; }));
    CMftRecord packed = RecordOf(a, *a.ByPath("Packed/text.txt"));
    EXPECT_TRUE(packed.Compressed());
    uint64_t stored = 0;
    for (const DataRun& r : packed.Runs()) stored += r.sparse ? 0 : r.length;
    EXPECT_LT(stored * 1024, 320000u / 2);
}

TEST_F(MountedVolume, SectorRunsOfAFragmentedFileReadBackItsBytes) {
    const test::Analysis& a = *analysis_;
    const FoundObject& big = *a.ByPath("big.bin");
    const std::vector<SectorRun> runs = ObjectSectorRuns(*a.volume, big);
    EXPECT_GT(runs.size(), 20u);
    std::string data;
    for (const SectorRun& run : runs) {
        std::string bytes(run.count * kSectorSize, '\0');
        ASSERT_EQ(a.volume->ReadSectors(bytes.data(), run.start, run.count), bytes.size());
        data += bytes;
    }
    data.resize(big.size);
    EXPECT_TRUE(data == Source("big.bin"));
    EXPECT_TRUE(ObjectSectorRuns(*a.volume, *a.ByPath("Docs/small.txt")).empty());  // resident
}

TEST_F(MountedVolume, DeletedFilesAndFoldersAreListedAndRead) {
    const test::Analysis& a = *analysis_;
    for (const char* path : {"gone.bin", "OldDir/inner.txt"}) {
        const FoundObject* o = a.ByPath(path);
        ASSERT_NE(o, nullptr) << path;
        EXPECT_TRUE(o->IsDeleted()) << path;
        EXPECT_TRUE(a.ReadAll(*o) == Source(path)) << path;
    }
    const FoundObject* folder = a.ByPath("OldDir");
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->IsDeleted());
    EXPECT_TRUE(folder->IsFolder());
    // The removed half of the fragmenting files are listed as deleted, but
    // for the few whose records the later files took.
    int removed = 0;
    for (int i = 0; i < 400; i += 2)
        if (const FoundObject* o = a.ByPath("frag/f" + std::to_string(i))) removed += o->IsDeleted();
    EXPECT_GT(removed, 150);
}

// vornex-cli recover on the mounted volume: every live and deleted file at
// its path, byte for byte, and the image untouched.
TEST_F(MountedVolume, CliRecoversEveryFileAtItsPath) {
    test::ScopedConfig config;
    test::TempDir out;
    const std::string before = test::Sha256File(image_);
    test::CommandResult r =
        test::Run(Quote(test::CliPath()) + " recover " + Quote(image_) + " --fs-only --to " + Quote(out.path()));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    std::vector<std::string> paths = live_;
    paths.push_back("gone.bin");
    paths.push_back("OldDir/inner.txt");
    for (const std::string& path : paths)
        EXPECT_EQ(test::Sha256File(out / path), test::Sha256File(*dir_ / ("src/" + path))) << path;
    EXPECT_EQ(test::Sha256File(image_), before) << "the source changed";
}

}  // namespace
}  // namespace vx
