// Boot sectors and partition tables over images built by sfdisk, mkfs.fat
// and mkntfs; a few hand-made tables for the damaged chains.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>

#include "common/Bytes.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "settings/EventLog.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

struct Expected {
    uint64_t sector;
    int type;
    uint32_t typeCode;
    const char* line;   // log line, or null
};

// One primary FAT16, one primary FAT32 (0x0C), an extended partition with
// FAT12, NTFS and Linux logical partitions, and a Linux partition past 4 GiB
// (sparse file).
const Expected kDiskLayout[] = {
    {2048, 0x06, 4, "Found FAT16 volume at: 1048576"},
    {34816, 0x0C, 11, "Found FAT32 volume at: 17825792"},
    {118784, 0x01, 1, "Found FAT12 volume at: 60817408"},
    {129024, 0x07, 7, "Found NTFS volume at: 66060288"},
    {147456, 0x83, 0, nullptr},
    {10000000, 0x83, 0, nullptr},
};

class BootSectorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        disk_ = *dir_ / "disk.img";
        const std::string d = Quote(disk_);
        MustRun("truncate -s " + std::to_string(10020480ull * 512) + " " + d);
        MustRun("printf 'label: dos\\n"
                "start=2048, size=32768, type=6\\n"
                "start=34816, size=81920, type=c\\n"
                "start=116736, size=65536, type=5\\n"
                "start=118784, size=8192, type=1\\n"
                "start=129024, size=16384, type=7\\n"
                "start=147456, size=8192, type=83\\n"
                "start=10000000, size=20480, type=83\\n' | sfdisk -q " + d);
        MustRun("mkfs.fat -F 16 --offset=2048 -n FAT16VOL -i 1600ABCD " + d + " 16384");
        MustRun("mkfs.fat -F 32 -s 1 --offset=34816 -n FAT32VOL -i 3200ABCD " + d + " 40960");
        MustRun("mkfs.fat -F 12 --offset=118784 -n FAT12VOL -i 1200ABCD " + d + " 4096");
        const std::string ntfs = Quote(*dir_ / "ntfs.img");
        MustRun("truncate -s 8M " + ntfs + " && mkntfs -Q -F -q -L NTFSVOL -p 129024 -H 255 -S 63 " + ntfs);
        MustRun("dd if=" + ntfs + " of=" + d + " bs=512 seek=129024 conv=notrunc status=none");
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    test::ScopedConfig config_;
    static test::TempDir* dir_;
    static std::string disk_;
};

test::TempDir* BootSectorTest::dir_ = nullptr;
std::string BootSectorTest::disk_;

// The 32-bit little-endian field at byte `offset` of a file.
uint32_t FieldAt(const std::string& path, uint64_t offset) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(offset));
    uint8_t b[4] = {};
    in.read(reinterpret_cast<char*>(b), 4);
    return le32(ByteSpan(b, 4), 0);
}

CVolume* ChildAt(const CVolume& disk, uint64_t offset) {
    for (CVolume* c : disk.Children())
        if (c->rootRecord.start == offset) return c;
    return nullptr;
}

TEST_F(BootSectorTest, WholeDiskImageReportsEveryPartitionAtItsByteOffset) {
    test::RecordingNotifier notifier;
    test::LogMark mark;
    CVolume* image = Computer().LoadImage(disk_);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->typeCode, 0u);
    EXPECT_EQ(image->totalSectors, 10020480u);

    std::vector<CVolume*> children = image->Children();
    ASSERT_EQ(children.size(), std::size(kDiskLayout));
    EXPECT_EQ(notifier.volumesAdded(), std::size(kDiskLayout));
    for (size_t i = 0; i < children.size(); ++i) {
        const Expected& e = kDiskLayout[i];
        CVolume* found = children[i];
        SCOPED_TRACE(e.sector);
        EXPECT_EQ(found->kind, VolumeKind::Found);
        EXPECT_EQ(found->driveType, kDriveFound);
        EXPECT_EQ(found->rootRecord.start, e.sector * 512);
        EXPECT_EQ(found->startOffset, e.sector * 512);
        EXPECT_EQ(found->rootRecord.type, e.type);
        EXPECT_EQ(found->rootRecord.parent, image->Id());
        EXPECT_EQ(found->ParentVolume(), image);
        EXPECT_EQ(found->typeCode, e.typeCode);
        EXPECT_EQ(found->DevicePath(), image->DevicePath());
        EXPECT_EQ(Computer().FindVolume(found->Id()), found);
        EXPECT_NE(image->collection.FindFirstById(found->Id()), nullptr);
        if (e.line) {
            EXPECT_EQ(mark.Count(e.line), 1u);
        }
    }
    // Nothing wrapped at 32 bits: the last partition lies past 4 GiB.
    EXPECT_EQ(children.back()->DisplayName(), "Volume at: 5120000000");
    EXPECT_EQ(mark.Count("Found "), 4u);

    // The Found volumes read their own boot sectors through the image.
    CVolume* fat32 = ChildAt(*image, 34816ull * 512);
    ASSERT_NE(fat32, nullptr);
    EXPECT_EQ(fat32->label, "FAT32VOL   ");
    EXPECT_EQ(fat32->serialNumber, 0x3200ABCDu);
    EXPECT_EQ(fat32->totalSectors, FieldAt(disk_, 34816ull * 512 + 0x20));
    CVolume* ntfs = ChildAt(*image, 129024ull * 512);
    ASSERT_NE(ntfs, nullptr);
    EXPECT_NE(ntfs->serialNumberHigh, 0u);
}

TEST_F(BootSectorTest, PartitionsAlreadyListedOnTheDiskAreNotAddedAgain) {
    // The disk as the drive list shows it, with two of its partitions.
    auto* disk = Computer().Volumes().Append(std::make_unique<CVolume>(VolumeKind::Physical, kDriveFixed));
    disk->devicePath = disk_;
    disk->description = "Drive 9";
    disk->SetId(Computer().NextId());
    disk->totalSectors = 10020480;
    auto addPartition = [&](uint64_t sector) {
        auto* part = Computer().Volumes().Append(std::make_unique<CVolume>(VolumeKind::Logical, kDriveFixed));
        part->SetId(Computer().NextId());
        part->rootRecord.parent = disk->Id();
        part->layout.partitionCount = 1;
        part->layout.entries[0].startingOffset = sector * 512;
        return part;
    };
    CVolume* child = addPartition(2048);
    disk->AddChild(child);
    CVolume* sameDisk = addPartition(34816);  // attached by id only

    test::LogMark mark;
    disk->ParseBootSector();
    std::vector<CVolume*> children = disk->Children();
    ASSERT_EQ(children.size(), 1 + std::size(kDiskLayout) - 2);
    EXPECT_EQ(children[0], child);
    EXPECT_FALSE(child->rootRecord.Is(object_flag::SeenAgain));  // skipped by the walk itself
    EXPECT_TRUE(sameDisk->rootRecord.Is(object_flag::SeenAgain));
    EXPECT_FALSE(mark.Contains("Found FAT16 volume"));
    EXPECT_FALSE(mark.Contains("Found FAT32 volume"));
    EXPECT_TRUE(mark.Contains("Found FAT12 volume at: 60817408"));
}

TEST_F(BootSectorTest, BootSectorOfEachFileSystemFillsTheDescriptor) {
    struct Case {
        const char* mkfs;       // builds the volume in FILE
        uint32_t typeCode;
        const char* label;
        uint32_t serial;        // 0: read from the image
        uint64_t sectors;
        uint32_t sectorsPerCluster;
    } cases[] = {
        {"mkfs.fat -C -F 12 -s 4 -n SMALL -i 0A0B0C0D FILE 1440", 1, "SMALL      ", 0x0A0B0C0D, 2880, 4},
        {"mkfs.fat -C -F 16 -s 8 -n 'MY DATA' -i 12345678 FILE 20480", 4, "MY DATA    ", 0x12345678, 40960, 8},
        {"mkfs.fat -C -F 32 -s 1 -n BIGGER -i 87654321 FILE 40960", 11, "BIGGER     ", 0x87654321, 81920, 1},
        {"truncate -s 8M FILE && mkntfs -Q -F -q -c 4096 -L NTFSVOL FILE", 7, "", 0, 16384, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mkfs);
        test::TempDir dir;
        const std::string file = dir / "vol.img";
        std::string command = c.mkfs;
        command.replace(command.find("FILE"), 4, Quote(file));
        if (size_t again = command.find("FILE"); again != std::string::npos) command.replace(again, 4, Quote(file));
        MustRun(command);

        // A partition-like volume: no size known before the boot sector.
        CVolume volume(VolumeKind::Logical, kDriveFixed);
        volume.devicePath = file;
        volume.kernelName = "sdz1";
        EXPECT_EQ(volume.ParseBootSector(), 1);
        EXPECT_EQ(volume.typeCode, c.typeCode);
        EXPECT_EQ(volume.label, c.label);
        EXPECT_EQ(volume.sectorsPerCluster, c.sectorsPerCluster);
        EXPECT_EQ(volume.bytesPerCluster, c.sectorsPerCluster * 512);
        if (c.typeCode != 7) {
            EXPECT_EQ(volume.serialNumber, c.serial);
            EXPECT_EQ(volume.totalSectors, c.sectors);
            EXPECT_EQ(volume.totalBytes, c.sectors * 512);
            EXPECT_EQ(volume.totalClusters, c.sectors / c.sectorsPerCluster);
        } else {
            std::string boot = test::ReadFile(file).substr(0, 512);
            ByteSpan b(reinterpret_cast<const uint8_t*>(boot.data()), boot.size());
            EXPECT_EQ(volume.serialNumber, le32(b, 0x48));
            EXPECT_EQ(volume.serialNumberHigh, le32(b, 0x4C));
            EXPECT_EQ(volume.totalSectors, le64(b, 0x28));  // as stated: the backup boot sector follows them
            EXPECT_EQ(volume.totalSectors, c.sectors - 1);
        }
        EXPECT_EQ(std::memcmp(volume.oemName.data(), test::ReadFile(file).data() + 3, 8), 0);
    }
}

TEST(BootSectorDetect, LaterTestsWinAndNamesFollowTheCode) {
    uint8_t sector[512] = {};
    EXPECT_EQ(CVolume::DetectFileSystem(sector), 0u);
    std::memcpy(sector + 3, "NTFS    ", 8);
    EXPECT_EQ(CVolume::DetectFileSystem(sector), 7u);
    std::memcpy(sector + 82, "FAT32   ", 8);
    EXPECT_EQ(CVolume::DetectFileSystem(sector), 11u);  // a FAT string beats the NTFS id
    std::memcpy(sector + 54, "FAT12   ", 8);
    EXPECT_EQ(CVolume::DetectFileSystem(sector), 1u);

    CVolume v(VolumeKind::Found, kDriveFound);
    struct { uint32_t code; const char* name; uint32_t ntfs; } names[] = {
        {6, "FAT16", 0}, {1, "FAT12", 0}, {12, "FAT32", 0}, {128, "NTFS", 1}, {0x83, "Unknown", 1}, {4, "FAT16", 0},
    };
    for (const auto& n : names) {
        v.SetFileSystemName(n.code);
        EXPECT_EQ(v.fileSystemName, n.name) << n.code;
        EXPECT_EQ(v.ntfs, n.ntfs) << n.code;  // an unknown code leaves the flag as it was
    }
}

TEST(BootSectorSizes, SizesAlreadyKnownAreKept) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string file = dir / "fat16.img";
    MustRun("mkfs.fat -C -F 16 -n KEEP " + Quote(file) + " 20480");
    CVolume volume(VolumeKind::Logical, kDriveFixed);
    volume.devicePath = file;
    volume.label = "OWN";
    volume.totalBytes = 123456789;
    volume.totalSectors = 4242;
    volume.ParseBootSector();
    EXPECT_EQ(volume.label, "OWN");
    EXPECT_EQ(volume.totalBytes, 123456789u);
    EXPECT_EQ(volume.totalSectors, 4242u);
    EXPECT_EQ(volume.typeCode, 4u);
}

TEST(BootSectorSizes, UnreadableBootSectorIsReported) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string file = dir / "empty.img";
    test::WriteFile(file, "");
    CVolume volume(VolumeKind::Logical, kDriveFixed);
    volume.devicePath = file;
    volume.kernelName = "sdz9";
    test::LogMark mark;
    EXPECT_EQ(volume.ParseBootSector(), kBootSectorUnreadable);
    EXPECT_TRUE(mark.Contains("Can't read boot sector on [sdz9]"));
}

// --- Hand-made tables ---------------------------------------------------

void PutEntry(std::string& image, uint64_t tableSector, int index, uint8_t type, uint32_t first, uint32_t count) {
    uint8_t* table = reinterpret_cast<uint8_t*>(image.data()) + tableSector * 512;
    uint8_t* e = table + 0x1BE + 16 * index;
    e[4] = type;
    put32(e + 8, first);
    put32(e + 12, count);
    table[510] = 0x55;
    table[511] = 0xAA;
}

TEST(PartitionChain, DamagedChainsEndPromptlyAndAreLoggedOnce) {
    test::ScopedConfig config;
    struct Case {
        const char* name;
        size_t records;        // EBRs at sectors 100, 200, ... ; each holds one logical 0x83 at +10
        int loopTo;            // the last record links to record loopTo (-1: no link)
        size_t expectedFound;
        bool damaged;
    } cases[] = {
        {"healthy chain of three", 3, -1, 3, false},
        {"record linking to itself", 1, 0, 1, true},
        {"last record linking back to the first", 4, 0, 4, true},
        {"chain longer than any real disk holds", 200, -1, 128, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::string image(512 * 100 * (c.records + 2), '\0');
        PutEntry(image, 0, 0, 0x05, 100, uint32_t(100 * c.records));
        for (size_t r = 0; r < c.records; ++r) {
            uint64_t sector = 100 * (r + 1);
            PutEntry(image, sector, 0, 0x83, 10, 50);
            if (r + 1 < c.records) PutEntry(image, sector, 1, 0x05, uint32_t(100 * (r + 1)), 100);
            else if (c.loopTo >= 0) PutEntry(image, sector, 1, 0x05, uint32_t(100 * c.loopTo), 100);
        }
        const std::string path = dir / "chain.img";
        test::WriteFile(path, image);

        test::LogMark mark;
        auto started = std::chrono::steady_clock::now();
        CVolume* loaded = Computer().LoadImage(path);
        ASSERT_NE(loaded, nullptr);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        std::vector<CVolume*> found = loaded->Children();
        ASSERT_EQ(found.size(), c.expectedFound);
        for (size_t i = 0; i < found.size(); ++i) EXPECT_EQ(found[i]->rootRecord.start, (100 * (i + 1) + 10) * 512);
        EXPECT_EQ(mark.Count("Damaged extended partition chain"), c.damaged ? 1u : 0u);
    }
}

TEST(PartitionChain, EntriesOutsideTheDiskOrPointingAtTheirTableAreSkipped) {
    test::ScopedConfig config;
    test::TempDir dir;
    std::string image(512 * 64, '\0');
    PutEntry(image, 0, 0, 0x0C, 0, 20);          // the table itself
    PutEntry(image, 0, 1, 0x06, 1000, 20);       // beyond the 64 sectors of the image
    PutEntry(image, 0, 2, 0x00, 8, 20);          // empty type
    PutEntry(image, 0, 3, 0x0B, 8, 1000);        // oversize: reported anyway
    const std::string path = dir / "odd.img";
    test::WriteFile(path, image);
    test::LogMark mark;
    CVolume* loaded = Computer().LoadImage(path);
    ASSERT_NE(loaded, nullptr);
    std::vector<CVolume*> found = loaded->Children();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->rootRecord.start, 8u * 512);
    EXPECT_EQ(found[0]->typeCode, 11u);
    EXPECT_TRUE(mark.Contains("Found FAT32 volume at: 4096"));
}

TEST(AddFoundVolume, ReportAtOffsetZeroOfAnImageOnlyMarksIt) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string file = dir / "fat.img";
    MustRun("mkfs.fat -C -F 12 " + Quote(file) + " 1440");
    CVolume* image = Computer().LoadImage(file);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->typeCode, 1u);
    const size_t before = Computer().Volumes().Count();
    FoundObject report;
    report.parent = image->Id();
    report.type = 1;
    report.start = 0;
    EXPECT_EQ(Computer().AddFoundVolume(report), nullptr);
    EXPECT_TRUE(image->rootRecord.Is(object_flag::SeenAgain));
    EXPECT_EQ(Computer().Volumes().Count(), before);

    report.parent = -999999;  // no such volume
    report.start = 512;
    EXPECT_EQ(Computer().AddFoundVolume(report), nullptr);
    EXPECT_EQ(Computer().Volumes().Count(), before);
}

}  // namespace
}  // namespace vx
