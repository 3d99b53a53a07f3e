// The lost-volume search: the sector scan in search-only mode, so that only
// boot-sector matches count; each becomes a Found volume of the searched
// volume through AddFoundVolume, placed at the volume's real start when the
// match is a backup boot sector.
#include <cstring>

#include "common/Bytes.h"
#include "device/BootSectorLayout.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"

namespace vx {

namespace {

bool ReadSector(CVolume& volume, uint64_t position, uint8_t* out) {
    if (position % kSectorSize != 0) return false;
    if (volume.totalBytes != 0 && position >= volume.totalBytes) return false;
    return volume.ReadSectors(out, position / kSectorSize, 1) >= kSectorSize;
}

// The first FAT entry of a FAT32 volume holds its media byte with every
// other bit set.
bool Fat32TableAt(CVolume& volume, uint64_t position, uint8_t media) {
    uint8_t sector[kSectorSize];
    if (!ReadSector(volume, position, sector)) return false;
    return (le32(ByteSpan(sector), 0) & 0x0FFFFFFF) == (0x0FFFFF00u | media);
}

bool MftRecordAt(CVolume& volume, uint64_t position) {
    uint8_t sector[kSectorSize];
    return ReadSector(volume, position, sector) && std::memcmp(sector, "FILE", 4) == 0;
}

}  // namespace

uint64_t VolumeStartOf(CVolume& volume, uint64_t position) {
    uint8_t boot[kSectorSize];
    if (!ReadSector(volume, position, boot)) return position;
    ByteSpan b(boot);
    const uint32_t bytesPerSector = le16(b, boot::kBytesPerSector);
    if (bytesPerSector < 512 || bytesPerSector > 4096 || (bytesPerSector & (bytesPerSector - 1)) != 0) return position;
    switch (CVolume::DetectFileSystem(boot)) {
        case 11: {
            // The backup lies `backup sectors` into the reserved area of its volume.
            const uint64_t reserved = uint64_t(le16(b, boot::kReservedSectors)) * bytesPerSector;
            const uint64_t backup = uint64_t(le16(b, boot::kFat32BackupSector)) * bytesPerSector;
            const uint8_t media = le8(b, boot::kMediaDescriptor);
            if (backup == 0 || backup >= reserved || position < backup) return position;
            if (Fat32TableAt(volume, position + reserved, media)) return position;
            if (Fat32TableAt(volume, position - backup + reserved, media)) return position - backup;
            return position;
        }
        case 7: {
            // The backup is the sector after the sectors the volume states.
            const uint8_t code = le8(b, boot::kSectorsPerCluster);
            const uint64_t perCluster = code <= 0x80 ? code : (256 - code <= 20 ? uint64_t(1) << (256 - code) : 0);
            const uint64_t clusterBytes = perCluster * bytesPerSector;
            const uint64_t mftCluster = le64(b, boot::kNtfsMftCluster);
            const uint64_t sectors = le64(b, boot::kNtfsTotalSectors);
            if (clusterBytes == 0 || mftCluster > (uint64_t(1) << 40) || sectors > (uint64_t(1) << 48)) return position;
            const uint64_t mft = mftCluster * clusterBytes, size = sectors * bytesPerSector;
            if (MftRecordAt(volume, position + mft)) return position;
            if (position >= size && size != 0 && MftRecordAt(volume, position - size + mft)) return position - size;
            return position;
        }
        default:
            return position;
    }
}

int CLocalComputer::SearchLostDisks(CVolume& volume) {
    if (volume.state == VolumeState::Analyzing) return 0;
    volume.StartSectorAnalysis(true);
    return 1;
}

}  // namespace vx
