// The drive list: the Linux probe's rules over a made-up sysfs tree, and the
// list's ids, order and survivors on whatever disks this machine has.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "platform/BlockDevices.h"
#include "platform/Mounts.h"
#include "tests/support/TestSupport.h"

namespace vx {
namespace {

using test::MustRun;
using test::Quote;

void Put(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    test::WriteFile(path, text + "\n");
}

TEST(BlockDeviceProbe, ListsDisksAndPartitionsByTheRules) {
    test::TempDir sys;
    const std::string b = sys.path();
    auto disk = [&](const std::string& name, const std::string& dev, const std::string& removable = "0") {
        Put(b + "/" + name + "/dev", dev);
        Put(b + "/" + name + "/size", "2048");
        Put(b + "/" + name + "/removable", removable);
    };
    disk("sdb", "8:16", "1");
    Put(b + "/sdb/device/vendor", "Generic");
    Put(b + "/sdb/device/model", "Card Reader");
    Put(b + "/sdb/sdb2/partition", "2");
    Put(b + "/sdb/sdb2/start", "4096");
    Put(b + "/sdb/sdb2/size", "100");
    Put(b + "/sdb/sdb2/dev", "8:18");
    Put(b + "/sdb/sdb1/partition", "1");
    Put(b + "/sdb/sdb1/start", "2048");
    Put(b + "/sdb/sdb1/size", "1000");
    Put(b + "/sdb/sdb1/dev", "8:17");
    Put(b + "/sdb/sdb3/partition", "3");  // an extended container
    Put(b + "/sdb/sdb3/size", "2");
    disk("sda", "8:0");
    disk("nvme0n1", "259:0");
    Put(b + "/nvme0n1/nvme0n1p1/partition", "1");
    Put(b + "/nvme0n1/nvme0n1p1/uevent", "MAJOR=259\nDEVNAME=nvme0n1p1");
    Put(b + "/nvme0n1/nvme0n1p1/size", "409600");
    disk("mmcblk0", "179:0");
    Put(b + "/mmcblk0/device/name", "SD16G");
    disk("vda", "254:0");
    disk("loop2", "7:2");
    Put(b + "/loop2/loop/backing_file", "/tmp/card.img");
    disk("loop10", "7:10");
    Put(b + "/loop10/loop/backing_file", "/tmp/other.img");
    disk("loop0", "7:0");  // no backing file: unused
    for (const char* skipped : {"sr0", "ram0", "zram0", "dm-0", "md0", "mmcblk0boot0", "nbd0"}) disk(skipped, "1:1");

    std::vector<ProbedDisk> disks = ProbeBlockDevices(b, "/dev");
    std::vector<std::string> names;
    for (const ProbedDisk& d : disks) names.push_back(d.kernelName);
    EXPECT_EQ(names, (std::vector<std::string>{"loop2", "loop10", "mmcblk0", "nvme0n1", "sda", "sdb", "vda"}));

    const ProbedDisk& sdb = disks[5];
    EXPECT_TRUE(sdb.removable);
    EXPECT_EQ(sdb.vendor, "Generic");
    EXPECT_EQ(sdb.model, "Card Reader");
    EXPECT_EQ(sdb.devicePath, "/dev/sdb");
    ASSERT_EQ(sdb.partitions.size(), 2u);
    EXPECT_EQ(sdb.partitions[0].kernelName, "sdb1");
    EXPECT_EQ(sdb.partitions[0].startSector, 2048u);
    EXPECT_EQ(sdb.partitions[0].sizeSectors, 1000u);
    EXPECT_EQ(sdb.partitions[1].number, 2);
    EXPECT_FALSE(disks[4].removable);
    EXPECT_EQ(disks[2].model, "SD16G");
    ASSERT_EQ(disks[3].partitions.size(), 1u);
    EXPECT_EQ(disks[3].partitions[0].devicePath, "/dev/nvme0n1p1");
}

TEST(MountInfo, ParsesEscapesAndOptionalFields) {
    std::vector<MountEntry> entries = ParseMountInfo(
        "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw,errors=continue\n"
        "40 36 8:17 / /media/My\\040Card rw shared:3 - vfat /dev/sdb1 rw\n"
        "garbage line\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].root, "/mnt1");
    EXPECT_EQ(entries[0].fsType, "ext3");
    EXPECT_EQ(entries[1].mountPoint, "/media/My Card");
    EXPECT_EQ(entries[1].source, "/dev/sdb1");
    EXPECT_EQ(entries[1].device, makedev(8, 17));
}

TEST(LocalComputer, IdsCountDownFromMinus31AndTheNodesHaveTheirs) {
    CLocalComputer computer;
    EXPECT_EQ(computer.NextId(), -31);
    EXPECT_EQ(computer.NextId(), -32);
    EXPECT_EQ(computer.ComputerNode().Id(), -12);
    EXPECT_EQ(computer.ComputerNode().rootRecord.parent, -12);
    EXPECT_EQ(computer.RecycleBinNode().Id(), -17);
    EXPECT_EQ(computer.RecycleBinNode().rootRecord.parent, -12);
    EXPECT_EQ(computer.ComputerNode().kind, VolumeKind::ComputerNode);
}

int Rank(VolumeKind kind) {
    switch (kind) {
        case VolumeKind::Physical: return 0;
        case VolumeKind::Logical: return 1;
        default: return 2;
    }
}

// Rules every rescan result keeps, whatever disks the machine has.
void CheckListRules(CLocalComputer& computer) {
    std::vector<CVolume*> all = computer.Volumes().Snapshot();
    std::map<int32_t, CVolume*> byId;
    for (size_t i = 0; i < all.size(); ++i) {
        CVolume* v = all[i];
        SCOPED_TRACE(v->DevicePath());
        EXPECT_LT(v->Id(), -30);
        EXPECT_TRUE(byId.emplace(v->Id(), v).second) << "duplicate id";
        if (i > 0) {
            EXPECT_LE(Rank(all[i - 1]->kind), Rank(v->kind)) << "disks, then partitions, then the rest";
        }
        for (const char* hidden : {"/dev/sr", "/dev/ram", "/dev/zram", "/dev/dm-"}) {
            EXPECT_NE(v->DevicePath().rfind(hidden, 0), 0u);
        }
        if (v->kind == VolumeKind::Logical) {
            CVolume* disk = v->ParentVolume();
            ASSERT_NE(disk, nullptr);
            EXPECT_EQ(disk->kind, VolumeKind::Physical);
            EXPECT_EQ(v->rootRecord.parent, disk->Id());
            std::vector<CVolume*> children = disk->Children();
            EXPECT_NE(std::find(children.begin(), children.end(), v), children.end());
        }
        if (v->kind == VolumeKind::Physical || v->kind == VolumeKind::Logical) {
            EXPECT_TRUE(v->driveType == kDriveRemovable || v->driveType == kDriveFixed);
        }
    }
    EXPECT_EQ(computer.Volumes().GetAt(all.size()), nullptr);
}

TEST(VolumesList, RescanKeepsImagesAndDropsWhatItProbed) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string disk = dir / "disk.img";
    MustRun("truncate -s 4M " + Quote(disk) + " && printf 'label: dos\\nstart=2048, size=4096, type=6\\n' | sfdisk -q " +
            Quote(disk) + " && mkfs.fat -F 12 --offset=2048 " + Quote(disk) + " 2048");

    CLocalComputer& computer = Computer();
    computer.Volumes().Rescan();
    CheckListRules(computer);
    CVolume* image = computer.LoadImage(disk);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->Children().size(), 1u);
    CVolume* inImage = image->Children()[0];
    const int32_t imageId = image->Id();
    // What must survive: every image and virtual drive (other tests may have made some) and
    // the volumes found inside them, in their order.
    std::vector<CVolume*> survivors;
    for (CVolume* v : computer.Volumes().Snapshot())
        if (v->kind == VolumeKind::Image || v->kind == VolumeKind::Found || v->kind == VolumeKind::Virtual)
            survivors.push_back(v);
    const int32_t idBefore = computer.NextId();

    test::LogMark mark;
    ASSERT_TRUE(computer.Volumes().StartRescan());
    ASSERT_TRUE(computer.Volumes().WaitRescan(std::chrono::seconds(15)));
    CheckListRules(computer);
    EXPECT_TRUE(mark.Contains("CVolumesList::GetAt except"));

    std::vector<CVolume*> all = computer.Volumes().Snapshot();
    ASSERT_GE(all.size(), survivors.size());
    const size_t probed = all.size() - survivors.size();
    EXPECT_TRUE(std::equal(survivors.begin(), survivors.end(), all.begin() + probed)) << "kept after the probed drives";
    EXPECT_NE(std::find(all.begin(), all.end(), inImage), all.end()) << "the volume found inside it stays with it";
    EXPECT_EQ(image->Id(), imageId);
    for (size_t i = 0; i < probed; ++i) EXPECT_LT(all[i]->Id(), idBefore) << "probed volumes are new";
}

TEST(VolumesList, RescanWaitsUntilNoProbedVolumeIsInUse) {
    test::ScopedConfig config;
    CVolume* disk = Computer().Volumes().Append(std::make_unique<CVolume>(VolumeKind::Physical, kDriveFixed));
    disk->SetId(Computer().NextId());
    disk->description = "Drive 7";
    {
        CVolumeUse use(*disk);
        test::LogMark mark;
        Computer().Volumes().Rescan();
        EXPECT_TRUE(mark.Contains("Drives not rescanned: Drive 7 is in use"));
        EXPECT_EQ(Computer().FindVolume(disk->Id()), disk);
    }
    const int32_t id = disk->Id();
    Computer().Volumes().Rescan();
    EXPECT_EQ(Computer().FindVolume(id), nullptr);
}

// The partition query on plain files: the disk's table gives the type byte,
// the partition's boot sector the rest.
TEST(VolumesList, PartitionQueryUsesTheDiskTableAndTheBootSector) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string file = dir / "disk.img", partFile = dir / "part.img";
    MustRun("truncate -s 8M " + Quote(file) + " && printf 'label: dos\\nstart=2048, size=12288, type=e\\n' | sfdisk -q " +
            Quote(file) + " && mkfs.fat -F 16 -s 1 -n STICK --offset=2048 -i 0BADF00D " + Quote(file) + " 6144");
    MustRun("dd if=" + Quote(file) + " of=" + Quote(partFile) + " bs=512 skip=2048 count=12288 status=none");
    CVolume disk(VolumeKind::Physical, kDriveFixed);
    disk.devicePath = file;
    CVolume part(VolumeKind::Logical, kDriveRemovable);
    part.devicePath = partFile;
    part.kernelName = "sdz1";
    part.parent = &disk;
    part.layout.partitionCount = 1;
    part.layout.entries[0].startingOffset = 2048 * 512;
    part.layout.entries[0].partitionLength = 12288 * 512;
    part.QueryInformation();
    EXPECT_EQ(part.state.load(), VolumeState::Ready);
    EXPECT_EQ(part.layout.entries[0].partitionType, 0x0E);
    EXPECT_EQ(part.typeCode, 4u);
    EXPECT_EQ(part.fileSystemName, "FAT16");
    EXPECT_EQ(part.totalBytes, 12288u * 512);
    EXPECT_EQ(part.totalSectors, 12288u);
    EXPECT_EQ(part.serialNumber, 0x0BADF00Du);
    EXPECT_EQ(part.DisplayName(), "sdz1 (STICK)");
    EXPECT_FALSE(part.IsOpen());

    CVolume gone(VolumeKind::Logical, kDriveRemovable);
    gone.devicePath = dir / "no-medium";
    test::LogMark mark;
    gone.QueryInformation();
    EXPECT_EQ(gone.state.load(), VolumeState::NotReady);
    EXPECT_EQ(gone.totalBytes, 0u);
    EXPECT_TRUE(mark.Contains("Can't open volume"));
}

// A loop device over a partitioned image: the list shows the disk and its
// partition with the descriptor filled from sysfs, the table and the boot sector.
TEST(VolumesList, LoopDeviceIsListedWithItsPartition) {
    test::ScopedConfig config;
    test::TempDir dir;
    const std::string file = dir / "card.img";
    MustRun("truncate -s 8M " + Quote(file) + " && printf 'label: dos\\nstart=2048, size=12288, type=6\\n' | sfdisk -q " +
            Quote(file) + " && mkfs.fat -F 16 -s 1 -n CARD --offset=2048 -i 00C0FFEE " + Quote(file) + " 6144");
    test::CommandResult attach = test::Run("losetup -f --show -P " + Quote(file));
    if (attach.status != 0) GTEST_SKIP() << "no loop device available: " << attach.err;
    std::string loop = attach.out.substr(0, attach.out.find('\n'));
    struct Detach {
        std::string dev;
        ~Detach() { test::Run("losetup -d " + Quote(dev)); }
    } detach{loop};
    test::Run("udevadm settle 2>/dev/null");

    Computer().Volumes().Rescan();
    CVolume* disk = nullptr;
    for (CVolume* v : Computer().Volumes().Snapshot())
        if (v->DevicePath() == loop) disk = v;
    ASSERT_NE(disk, nullptr) << loop << " not listed";
    EXPECT_EQ(disk->kind, VolumeKind::Physical);
    EXPECT_EQ(disk->state.load(), VolumeState::Ready);
    EXPECT_EQ(disk->totalBytes, 8u << 20);
    EXPECT_EQ(disk->totalSectors, (8u << 20) / 512);
    EXPECT_EQ(disk->driveType, kDriveFixed);
    std::vector<CVolume*> parts = disk->Children();
    if (parts.empty()) GTEST_SKIP() << "the kernel made no partition device for " << loop;
    CVolume* part = parts[0];
    EXPECT_EQ(part->kind, VolumeKind::Logical);
    EXPECT_EQ(part->state.load(), VolumeState::Ready);
    EXPECT_EQ(part->layout.entries[0].startingOffset, 2048u * 512);
    EXPECT_EQ(part->layout.entries[0].partitionType, 6);
    EXPECT_EQ(part->totalBytes, 12288u * 512);
    EXPECT_EQ(part->typeCode, 4u);
    EXPECT_EQ(part->fileSystemName, "FAT16");
    EXPECT_EQ(part->label, "CARD       ");
    EXPECT_EQ(part->serialNumber, 0x00C0FFEEu);
    EXPECT_EQ(part->DisplayName(), part->kernelName + " (CARD)");

    // Mounted, it shows where and how much is free.
    const std::string mnt = dir / "mnt";
    std::filesystem::create_directory(mnt);
    if (test::Run("mount -o ro " + Quote(part->DevicePath()) + " " + Quote(mnt)).status != 0)
        GTEST_SKIP() << "cannot mount vfat here";
    struct Unmount {
        std::string at;
        ~Unmount() { test::Run("umount " + Quote(at)); }
    } unmount{mnt};
    Computer().Volumes().Rescan();
    for (CVolume* v : Computer().Volumes().Snapshot()) {
        if (v->DevicePath() != part->DevicePath()) continue;
        EXPECT_EQ(v->mountPoint, mnt);
        EXPECT_GT(v->freeBytes, 0u);
    }
}

}  // namespace
}  // namespace vx
