// The exFAT analyser over volumes made by mkfs.exfat and filled through an
// exfat-fuse mount: nested folders, long and non-ASCII names, contiguous and
// FAT-chained files, an empty file, deleted files and folders. The listing
// must be what the mount showed before the deletions, and vornex-cli recover
// must give every live file and every intact deleted file byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>

#include "fs/ExFatLayout.h"
#include "fs/FatTime.h"
#include "fs/FileSystem_exFAT.h"
#include "tests/fs/FatFixture.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::Quote;

// Builds an exFAT image of `size` with mkfs.exfat and shapes it through an
// exfat-fuse mount on a loop device (exfat-fuse wants a block device when it
// runs as root). Empty `skip` means it worked.
struct MountedImage {
    std::string image, src, skip;
    std::map<std::string, uint64_t> shown;  // what the mount listed before the deletions: path -> size (folders: ~0)
    std::vector<std::string> deleted;       // files deleted at the end (their clusters stay free)
    std::vector<std::string> deletedFolders;

    void Build(const std::string& dir, const std::string& size, const std::string& mkfsOptions,
               const std::function<void(MountedImage&, const std::string&)>& fill,
               const std::function<void(MountedImage&, const std::string&)>& remove) {
        if (access("/dev/fuse", R_OK | W_OK) != 0) {
            skip = "FUSE is not available here (/dev/fuse missing); the crafted-volume tests cover exFAT";
            return;
        }
        image = dir + "/exfat.img";
        src = dir + "/src";
        const std::string mnt = dir + "/mnt";
        test::MustRun("mkdir -p " + Quote(mnt) + " " + Quote(src) + " && truncate -s " + size + " " + Quote(image) +
                      " && mkfs.exfat " + mkfsOptions + " " + Quote(image) + " >/dev/null");
        test::CommandResult loop = test::Run("losetup -f --show " + Quote(image));
        if (loop.status != 0) {
            skip = "no loop device here for exfat-fuse";
            return;
        }
        const std::string device = loop.out.substr(0, loop.out.find('\n'));
        if (test::Run("mount.exfat-fuse " + Quote(device) + " " + Quote(mnt)).status != 0) {
            test::Run("losetup -d " + Quote(device));
            skip = "exfat-fuse could not mount an image here (FUSE unusable)";
            return;
        }
        fill(*this, mnt);
        test::MustRun("sync");
        for (const auto& entry : std::filesystem::recursive_directory_iterator(mnt)) {
            const std::string path = "/" + std::filesystem::relative(entry.path(), mnt).string();
            shown[path] = entry.is_directory() ? ~0ull : entry.file_size();
        }
        remove(*this, mnt);
        test::Run("umount " + Quote(mnt));
        test::Run("losetup -d " + Quote(device));
    }
    // Writes a file through the mount and keeps its bytes beside it. When the
    // file is there already and `bytes` begins with what it holds, only the
    // rest is appended, so the file grows where the allocator puts it.
    void Put(const std::string& mnt, const std::string& path, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(src + path).parent_path());
        std::filesystem::create_directories(std::filesystem::path(mnt + path).parent_path());
        const std::string old = std::filesystem::exists(src + path) ? test::ReadFile(src + path) : std::string();
        test::WriteFile(src + path, bytes);
        if (!old.empty() && bytes.compare(0, old.size(), old) == 0) {
            std::ofstream(mnt + path, std::ios::binary | std::ios::app).write(bytes.data() + old.size(),
                                                                             std::streamsize(bytes.size() - old.size()));
        } else {
            test::WriteFile(mnt + path, bytes);
        }
    }
};

std::string LongName() {
    std::string name = "Überblick – naïve résumé ☃ 日本語のファイル名";
    while (name.size() < 200) name += " und so weiter";
    return name + ".txt";
}

void FillLab(MountedImage& m, const std::string& mnt) {
    m.Put(mnt, "/Docs/Nested/Deeper/deep.txt", test::RandomBytes(3000, 1));
    m.Put(mnt, "/Docs/" + LongName(), test::RandomBytes(12345, 2));
    m.Put(mnt, "/contiguous.bin", test::RandomBytes(300000, 3));
    m.Put(mnt, "/empty.txt", "");
    // Fragmented: a small file, a file after it, then the small one grows
    // past it and its clusters go on behind: a FAT chain.
    m.Put(mnt, "/frag.bin", test::RandomBytes(5000, 4));
    m.Put(mnt, "/between.bin", test::RandomBytes(40000, 5));
    m.Put(mnt, "/frag.bin", test::RandomBytes(5000, 4) + test::RandomBytes(200000, 6));
    // The same for a file that is deleted later: its chain goes over a live file.
    m.Put(mnt, "/Old/gone-frag.bin", test::RandomBytes(5000, 7));
    m.Put(mnt, "/Old/spacer.bin", test::RandomBytes(10000, 8));
    m.Put(mnt, "/Old/gone-frag.bin", test::RandomBytes(5000, 7) + test::RandomBytes(30000, 9));
    m.Put(mnt, "/gone.bin", test::RandomBytes(50000, 10));
    m.Put(mnt, "/OldDir/inner.txt", test::RandomBytes(3000, 11));
    m.Put(mnt, "/OldDir/Sub/more.bin", test::RandomBytes(9000, 12));
}

void RemoveLab(MountedImage& m, const std::string& mnt) {
    m.deleted = {"/gone.bin", "/Old/gone-frag.bin", "/OldDir/inner.txt", "/OldDir/Sub/more.bin"};
    m.deletedFolders = {"/OldDir", "/OldDir/Sub"};
    test::MustRun("rm " + Quote(mnt + "/gone.bin") + " " + Quote(mnt + "/Old/gone-frag.bin") + " && rm -r " +
                  Quote(mnt + "/OldDir"));
}

class ExFatMounted : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        lab_ = new MountedImage;
        lab_->Build(dir_->path(), "64M", "-L 'Lab exFAT'", FillLab, RemoveLab);
    }
    static void TearDownTestSuite() {
        delete lab_;
        delete dir_;
    }
    void SetUp() override {
        if (!lab_->skip.empty()) GTEST_SKIP() << lab_->skip;
    }
    static test::TempDir* dir_;
    static MountedImage* lab_;
};

test::TempDir* ExFatMounted::dir_ = nullptr;
MountedImage* ExFatMounted::lab_ = nullptr;

// The listing of `vornex-cli analyze --json --fs-only`: path -> (size, deleted, folder).
struct Listed {
    uint64_t size;
    bool deleted;
    bool folder;
};
std::map<std::string, Listed> CliListing(const std::string& image, const std::string& config) {
    test::CommandResult r = test::Run("XDG_CONFIG_HOME=" + Quote(config) + " " + Quote(test::CliPath()) + " analyze " +
                                      Quote(image) + " --json --fs-only");
    EXPECT_EQ(r.status, 0) << r.err;
    std::map<std::string, Listed> out;
    static const std::regex line(R"re("path": "([^"]*)".*"folder": (true|false), "deleted": (true|false).*"size": (\d+))re");
    std::smatch m;
    for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string text = r.out.substr(at, end - at);
        if (std::regex_search(text, m, line))
            out[m[1]] = Listed{std::stoull(m[4]), m[3] == "true", m[2] == "true"};
    }
    return out;
}

TEST_F(ExFatMounted, ListingIsWhatTheMountShowedBeforeTheDeletions) {
    test::TempDir config;
    std::map<std::string, Listed> listed = CliListing(lab_->image, config.path());
    std::string all;
    for (const auto& [path, l] : listed) all += path + (l.deleted ? " (deleted)\n" : "\n");
    SCOPED_TRACE(all);
    for (const auto& [path, size] : lab_->shown) {
        auto it = listed.find(path);
        ASSERT_NE(it, listed.end()) << path;
        EXPECT_EQ(it->second.folder, size == ~0ull) << path;
        if (size != ~0ull) {
            EXPECT_EQ(it->second.size, size) << path;
        }
        const bool gone = std::count(lab_->deleted.begin(), lab_->deleted.end(), path) ||
                          std::count(lab_->deletedFolders.begin(), lab_->deletedFolders.end(), path);
        EXPECT_EQ(it->second.deleted, gone) << path;
    }
    for (const auto& [path, l] : listed)
        if (!l.deleted) {
            EXPECT_TRUE(lab_->shown.count(path)) << "listed but never written: " << path;
        }
}

TEST_F(ExFatMounted, VolumeDescriptorAndFileKinds) {
    std::unique_ptr<CVolume> volume = test::OpenImage(lab_->image);
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->typeCode, 7u);
    EXPECT_EQ(volume->fileSystemName, "exFAT");
    test::AnalyseFat(*volume);
    EXPECT_EQ(volume->label, "Lab exFAT");
    auto* fs = dynamic_cast<CFileSystem_exFAT*>(volume->analyser.get());
    ASSERT_TRUE(fs);
    EXPECT_FALSE(fs->usedBackupBootRegion());
    EXPECT_EQ(fs->badChecksumSets(), 0u);
    auto listing = test::Listing(*volume);
    EXPECT_TRUE(listing["/contiguous.bin"].attributes & CFileSystem_exFAT::kAttrContiguous);
    EXPECT_FALSE(listing["/frag.bin"].attributes & CFileSystem_exFAT::kAttrContiguous);
    EXPECT_FALSE(listing["/Old/gone-frag.bin"].attributes & CFileSystem_exFAT::kAttrContiguous);
    // The data viewer's runs: one for a contiguous file, one per fragment else.
    EXPECT_EQ(fs->SectorRuns(listing["/contiguous.bin"]).size(), 1u);
    EXPECT_GE(fs->SectorRuns(listing["/frag.bin"]).size(), 2u);
    EXPECT_GE(fs->SectorRuns(listing["/Old/gone-frag.bin"]).size(), 2u);
    // The cluster bitmap comes from the allocation bitmap: the live file's
    // clusters are in use, the deleted one's first cluster is free.
    const uint64_t live = listing["/contiguous.bin"].cluster, gone = listing["/gone.bin"].cluster;
    EXPECT_TRUE(volume->clusterBitmap.Get(live));
    EXPECT_FALSE(volume->clusterBitmap.Get(gone));
    // Times: written moments ago, with their 10 ms parts.
    const int64_t now = ::time(nullptr);
    EXPECT_NEAR(double(FileTimeToUnixSeconds(listing["/contiguous.bin"].modified)), double(now), 24 * 3600.0 + 600);
}

TEST_F(ExFatMounted, CliRecoversEveryLiveAndIntactDeletedFileAndLeavesTheImageAlone) {
    test::ScopedConfig config;
    test::TempDir out;
    const std::string before = test::Sha256File(lab_->image);
    test::CommandResult r = test::Run(Quote(test::CliPath()) + " recover " + Quote(lab_->image) + " --fs-only --to " +
                                      Quote(out.path()));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (const auto& [path, size] : lab_->shown) {
        if (size == ~0ull) continue;
        EXPECT_EQ(test::Sha256File(out / path), test::Sha256File(lab_->src + path)) << path;
    }
    EXPECT_EQ(test::Sha256File(lab_->image), before) << "the source changed";
}

// A damaged main boot sector: the volume is read through the backup region,
// and the lost-volume search places the volume at its real start.
TEST_F(ExFatMounted, DamagedMainBootRegionIsReadThroughTheBackup) {
    test::TempDir dir;
    const std::string copy = dir / "damaged.img";
    test::MustRun("cp " + Quote(lab_->image) + " " + Quote(copy) +
                  " && dd if=/dev/zero of=" + Quote(copy) + " bs=512 count=1 conv=notrunc status=none");
    std::unique_ptr<CVolume> volume = test::OpenImage(copy);
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->fileSystemName, "exFAT");
    test::AnalyseFat(*volume);
    auto* fs = dynamic_cast<CFileSystem_exFAT*>(volume->analyser.get());
    ASSERT_TRUE(fs);
    EXPECT_TRUE(fs->usedBackupBootRegion());
    auto listing = test::Listing(*volume);
    ASSERT_TRUE(listing.count("/frag.bin"));
    EXPECT_EQ(test::ReadObject(*volume, listing["/frag.bin"]), test::ReadFile(lab_->src + "/frag.bin"));

    // A byte changed in an extended boot sector fails the checksum alone.
    const std::string flipped = dir / "flipped.img";
    test::MustRun("cp " + Quote(lab_->image) + " " + Quote(flipped) + " && printf '\\001' | dd of=" + Quote(flipped) +
                  " bs=1 seek=700 conv=notrunc status=none");
    std::unique_ptr<CVolume> second = test::OpenImage(flipped);
    test::AnalyseFat(*second);
    auto* fs2 = dynamic_cast<CFileSystem_exFAT*>(second->analyser.get());
    ASSERT_TRUE(fs2);
    EXPECT_TRUE(fs2->usedBackupBootRegion());

    // Inside a disk whose partition table is gone: found through its backup.
    const std::string disk = dir / "disk.img";
    test::MustRun("truncate -s 80M " + Quote(disk) + " && dd if=" + Quote(copy) + " of=" + Quote(disk) +
                  " bs=1M seek=1 conv=notrunc,sparse status=none");
    test::CommandResult r = test::Run("XDG_CONFIG_HOME=" + Quote(dir / "config") + " " + Quote(test::CliPath()) +
                                      " search-lost " + Quote(disk));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1048576          7     exFAT"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("1054720"), std::string::npos) << "the backup is not a volume of its own: " << r.out;
}

// A 5 GiB volume in a partition that starts 4.5 GiB into a sparse disk
// image: the volume's length and every byte position on the source need 64
// bits; little is written.
TEST(ExFatLarge, VolumeAbove4GiBListsAndRecovers) {
    if (access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "FUSE is not available here (/dev/fuse missing)";
    test::TempDir dir;
    const std::string disk = dir / "disk.img", mnt = dir / "mnt";
    const uint64_t startSector = 9437184;  // 4.5 GiB
    test::MustRun("mkdir -p " + Quote(mnt) + " && truncate -s 10G " + Quote(disk) + " && printf 'start=" +
                  std::to_string(startSector) + ", size=10485760, type=7\\n' | sfdisk -q " + Quote(disk));
    test::CommandResult loop = test::Run("losetup -f --show -o " + std::to_string(startSector * 512) +
                                         " --sizelimit 5368709120 " + Quote(disk));
    if (loop.status != 0) GTEST_SKIP() << "no loop device here for exfat-fuse";
    const std::string device = loop.out.substr(0, loop.out.find('\n'));
    const std::string first = test::RandomBytes(70000, 21), second = test::RandomBytes(5000, 22);
    test::MustRun("mkfs.exfat " + Quote(device) + " >/dev/null");
    if (test::Run("mount.exfat-fuse " + Quote(device) + " " + Quote(mnt)).status != 0) {
        test::Run("losetup -d " + Quote(device));
        GTEST_SKIP() << "exfat-fuse could not mount here (FUSE unusable)";
    }
    test::MustRun("mkdir -p " + Quote(mnt + "/a") + " " + Quote(mnt + "/b"));
    test::WriteFile(mnt + "/a/first.bin", first);
    test::WriteFile(mnt + "/b/second.bin", second);
    test::Run("umount " + Quote(mnt));
    test::Run("losetup -d " + Quote(device));

    test::ScopedConfig config;
    test::TempDir out;
    test::CommandResult r = test::Run(Quote(test::CliPath()) + " recover " + Quote(disk) +
                                      " --fs-only --partition 1 --to " + Quote(out.path()));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    // The partition's folder holds what was written.
    std::string found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(out.path()))
        if (e.path().filename() == "first.bin") found = e.path();
    ASSERT_FALSE(found.empty()) << r.out;
    EXPECT_EQ(test::ReadFile(found), first);
    EXPECT_EQ(test::ReadFile(std::filesystem::path(found).parent_path().parent_path() / "b/second.bin"), second);
    test::CommandResult info = test::Run(Quote(test::CliPath()) + " info " + Quote(disk));
    EXPECT_NE(info.out.find("type code 7   exFAT"), std::string::npos) << info.out;
}

}  // namespace
}  // namespace vx
