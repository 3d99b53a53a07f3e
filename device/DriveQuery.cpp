// Filling a volume's descriptor from its device: sysfs for the disk's
// identity and the partition's place, ioctls for size and geometry, the
// partition table for the type byte, the boot sector for label and file
// system, mountinfo and statvfs for the mount point and free space.
#include <cerrno>
#include <cstring>

#include "common/Text.h"
#include "device/PartitionTable.h"
#include "device/Volume.h"
#include "platform/Mounts.h"
#include "platform/Sysfs.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

// The entry of the partition starting at `startSector` on the disk at
// `diskPath`, from the disk's own table (MBR or GUID partition table); an
// empty entry when it cannot be told (an unreadable disk).
PartitionEntry PartitionOnDisk(const std::string& diskPath, uint64_t startSector) {
    std::string error;
    std::unique_ptr<ISectorReader> disk = OpenSectorReader(diskPath, &error);
    if (!disk) return {};
    const uint64_t totalSectors = disk->Size() / kSectorSize;
    SectorFetch fetch = [&](uint64_t sector, uint8_t* out) {
        return disk->ReadAt(out, kSectorSize, sector * kSectorSize) == int64_t(kSectorSize);
    };
    for (PartitionEntry& e : ReadDiskPartitions(fetch, totalSectors).entries)
        if (e.sector == startSector) return std::move(e);
    return {};
}

void FillMount(CVolume& v, dev_t device) {
    MountEntry mount;
    if (!FindMount(device, mount) && !FindMountBySource(v.devicePath, mount)) return;
    v.mountPoint = mount.mountPoint;
    SpaceInfo space;
    if (QuerySpace(mount.mountPoint, space)) {
        v.freeBytes = space.freeBytes;
        if (v.totalBytes == 0) v.totalBytes = space.totalBytes;
    }
}

std::string MountedFsType(const CVolume& v, dev_t device) {
    MountEntry mount;
    if (FindMount(device, mount) || FindMountBySource(v.devicePath, mount)) return mount.fsType;
    return {};
}

void QueryPhysical(CVolume& v) {
    if (!v.OpenDrive()) {
        v.state = VolumeState::NotReady;  // the sizes sysfs gave stay
        return;
    }
    std::shared_ptr<ISectorReader> reader = v.Reader();
    if (dev_t device = reader->DeviceNumber()) {
        BlockDeviceInfo info = DescribeBlockDevice(device);
        if (!info.description.empty()) v.description = info.description;
        v.deviceNumber.disk = int64_t(device);
        v.deviceNumber.partitionNumber = 0;
        if (v.totalBytes == 0) v.totalBytes = info.sizeSectors * kSectorSize;
    }
    if (reader->Geometry(v.geometry) && v.geometry.bytesPerSector) v.bytesPerSector = v.geometry.bytesPerSector;
    if (uint64_t size = reader->Size()) v.totalBytes = size;
    // All addressing is in 512-byte units, whatever the device's own sector size.
    v.totalSectors = v.totalBytes / kSectorSize;
    v.totalClusters = v.bytesPerCluster ? v.totalBytes / v.bytesPerCluster : 0;
    v.state = VolumeState::Ready;
    v.Close();
}

void QueryLogical(CVolume& v) {
    if (!v.OpenDrive()) {
        v.state = VolumeState::NotReady;  // the sizes sysfs gave stay
        return;
    }
    std::shared_ptr<ISectorReader> reader = v.Reader();
    const dev_t device = reader->DeviceNumber();
    PartitionInformation& partition = v.layout.entries[0];
    // The drive list fills the partition's place from sysfs before the query
    // starts (and AddFoundVolume may be reading it); only a volume made
    // elsewhere asks here.
    if (device && v.layout.partitionCount == 0) {
        BlockDeviceInfo info = DescribeBlockDevice(device);
        if (info.isPartition) {
            partition.startingOffset = info.startSector * kSectorSize;
            partition.partitionLength = info.sizeSectors * kSectorSize;
            partition.partitionNumber = uint32_t(info.partitionNumber);
            v.layout.signature = 0;
            v.layout.partitionCount = 1;
        }
    }
    if (const CVolume* disk = v.ParentVolume()) {
        PartitionEntry entry = PartitionOnDisk(disk->devicePath, partition.startingOffset / kSectorSize);
        partition.partitionType = entry.type;
        v.partitionName = entry.name;
        v.partitionTypeGuid = entry.typeGuid;
    }
    if (partition.partitionLength) {
        v.SetFileSystemName(partition.partitionType);
        v.totalBytes = partition.partitionLength;
    }
    reader->Geometry(v.geometry);
    if (v.totalBytes == 0) v.totalBytes = reader->Size();
    if (device) FillMount(v, device);
    if (v.totalBytes != 0) {
        v.totalSectors = v.totalBytes / v.bytesPerSector;
        v.totalClusters = v.totalBytes / v.bytesPerCluster;
    }
    v.ParseBootSector();
    // The boot sector names the file system; a mounted volume of another
    // kind shows the kernel's name for it.
    switch (v.typeCode) {
        case 1: case 4: case 6: case 7: case 11: case 12: v.SetFileSystemName(v.typeCode); break;
        default: {
            std::string type = device ? MountedFsType(v, device) : std::string();
            if (!type.empty()) v.fileSystemName = type;
        }
    }
    if (v.totalBytes != 0) {
        v.totalSectors = v.totalBytes / v.bytesPerSector;
        v.totalClusters = v.totalBytes / v.bytesPerCluster;
        v.state = VolumeState::Ready;
    } else {
        v.state = VolumeState::NotReady;
    }
    v.Close();
}

}  // namespace

void CVolume::QueryInformation() {
    state = VolumeState::QueryInformation;
    try {
        switch (kind) {
            case VolumeKind::Physical: QueryPhysical(*this); break;
            case VolumeKind::Logical: QueryLogical(*this); break;
            default: ParseBootSector(); state = VolumeState::Ready; break;
        }
    } catch (...) {
        EventLog().LogError("QueryInformation except in drive: %s (%s), code: %d", DisplayName().c_str(),
                            DevicePath().c_str(), errno);
        if (state == VolumeState::QueryInformation) state = VolumeState::NotReady;
    }
}

}  // namespace vx
