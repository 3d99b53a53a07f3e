// Boot sectors and partition tables: what a volume holds.
#include <algorithm>
#include <cstring>
#include <vector>

#include "common/Bytes.h"
#include "common/Text.h"
#include "device/BootSectorLayout.h"
#include "device/LocalComputer.h"
#include "device/PartitionTable.h"
#include "device/Volume.h"
#include "fs/ExFatLayout.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

bool HasText(ByteSpan b, size_t offset, const char (&text)[9]) {
    return InRange(b, offset, boot::kSystemIdLength) && std::memcmp(b.data() + offset, text, boot::kSystemIdLength) == 0;
}

bool IsFat1216Family(uint32_t code) {
    switch (code) {
        case 1: case 4: case 6: case 14: case 17: case 134: return true;
        default: return false;
    }
}

bool IsFat32Family(uint32_t code) {
    switch (code) {
        case 11: case 12: case 139: case 140: return true;
        default: return false;
    }
}

// The 11-byte label of a FAT boot sector; trailing spaces stay, a NUL ends it.
std::string FatLabel(ByteSpan b, size_t offset) {
    if (!InRange(b, offset, boot::kLabelLength)) return {};
    ByteSpan field = b.subspan(offset, boot::kLabelLength);
    size_t length = 0;
    while (length < field.size() && field[length] != 0) ++length;
    return AnsiToUtf8(field.first(length));
}

bool IsSectorSize(uint32_t bytes) { return bytes >= 512 && bytes <= 4096 && (bytes & (bytes - 1)) == 0; }

}  // namespace

bool CVolume::IsExFatBootSector(const uint8_t* buffer) {
    ByteSpan s(buffer, kSectorSize);
    if (std::memcmp(s.data() + exfat::kFileSystemName, exfat::kFileSystemNameText, exfat::kFileSystemNameLength) != 0)
        return false;
    if (le16(s, exfat::kBootSignature) != boot::kSignatureValue) return false;
    for (size_t i = 0; i < exfat::kMustBeZeroLength; ++i)
        if (s[exfat::kMustBeZero + i] != 0) return false;
    const uint32_t bpsShift = s[exfat::kBytesPerSectorShift];
    return bpsShift >= exfat::kMinBytesPerSectorShift && bpsShift <= exfat::kMaxBytesPerSectorShift &&
           bpsShift + s[exfat::kSectorsPerClusterShift] <= exfat::kMaxClusterShift;
}

uint32_t CVolume::DetectFileSystem(const uint8_t* buffer) {
    ByteSpan b(buffer, kSectorSize);
    uint32_t code = 0;
    if (IsExFatBootSector(buffer)) return 7;
    // Independent tests; a later match wins, so a FAT string beats an NTFS id.
    if (HasText(b, boot::kNtfsSystemId, "NTFS    ")) code = 7;
    if (HasText(b, boot::kFat32SystemId, "FAT32   ")) code = 11;
    if (HasText(b, boot::kFat16SystemId, "FAT16   ")) code = 4;
    if (HasText(b, boot::kFat16SystemId, "FAT12   ")) code = 1;
    return code;
}

std::string CVolume::ForeignContent() {
    std::vector<uint8_t> head(boot::kForeignProbeBytes + kSectorSize - boot::kForeignProbeBytes % kSectorSize, 0);
    const uint32_t got = totalBytes == 0 ? 0 : ReadSectors(head.data(), 0, head.size() / kSectorSize);
    if (got == 0) return totalBytes == 0 ? "an empty source" : "an unreadable start";
    ByteSpan b(head.data(), got);
    auto has = [&](size_t offset, const char* text, size_t length) {
        return InRange(b, offset, length) && std::memcmp(b.data() + offset, text, length) == 0;
    };
    if (le16(b, boot::kExtMagic) == boot::kExtMagicValue) return "ext2/ext3/ext4";
    if (has(boot::kXfsMagic, "XFSB", 4)) return "XFS";
    if (has(boot::kBtrfsMagic, "_BHRfS_M", 8)) return "Btrfs";
    if (has(boot::kLuksMagic, "LUKS\xBA\xBE", 6)) return "LUKS encryption";
    if (has(boot::kIso9660Id, "CD001", 5)) return "ISO 9660";
    if (has(boot::kHfsPlusMagic, "H+", 2) || has(boot::kHfsPlusMagic, "HX", 2)) return "HFS+";
    if (std::all_of(b.begin(), b.end(), [](uint8_t v) { return v == 0; })) return "zeros only";
    return "an unknown file system";
}

void CVolume::SetFileSystemName(uint32_t code) {
    switch (code) {
        case 1: fileSystemName = "FAT12"; ntfs = 0; break;
        case 4: case 6: fileSystemName = "FAT16"; ntfs = 0; break;
        case 11: case 12: fileSystemName = "FAT32"; ntfs = 0; break;
        case 7: case 128:
            fileSystemName = exfat ? "exFAT" : "NTFS";
            ntfs = exfat ? 0 : 1;
            break;
        default: fileSystemName = "Unknown"; break;
    }
}

int CVolume::ParseBootSector() {
    if (ReadBootSector() == 0) return kBootSectorUnreadable;
    try {
        ByteSpan b(bootBuffer.data(), kSectorSize);
        std::memcpy(oemName.data(), b.data() + boot::kOemName, boot::kOemNameLength);
        uint32_t detected = DetectFileSystem(bootBuffer.data());
        // exFAT keeps a backup of its boot region 12 sectors on; a damaged
        // main boot sector leaves the volume readable through it.
        std::array<uint8_t, kSectorSize> exfatBoot{};
        exfat = IsExFatBootSector(bootBuffer.data()) ? 1 : 0;
        if (exfat) std::memcpy(exfatBoot.data(), bootBuffer.data(), kSectorSize);
        // A sector 0 that holds a partition table is a disk's: its sector 12
        // may be the start of a partition, not a backup boot region.
        bool partitionTable = le16(b, boot::kSignature) == boot::kSignatureValue;
        if (partitionTable) {
            partitionTable = false;
            for (size_t i = 0; i < boot::kPartitionEntryCount; ++i)
                if (b[boot::kPartitionEntries + i * boot::kPartitionEntrySize + boot::kEntryType] != 0)
                    partitionTable = true;
        }
        if (detected == 0 && !partitionTable && (typeCode == 0 || typeCode == 7)) {
            for (uint32_t shift = exfat::kMinBytesPerSectorShift; shift <= exfat::kMaxBytesPerSectorShift; ++shift) {
                const uint64_t sector = (uint64_t(exfat::kBackupBootRegion) << shift) / kSectorSize;
                if (ReadSectors(exfatBoot.data(), sector, 1) < kSectorSize) continue;
                if (IsExFatBootSector(exfatBoot.data()) && exfatBoot[exfat::kBytesPerSectorShift] == shift) {
                    exfat = 1;
                    detected = 7;
                    break;
                }
            }
        }
        if (detected != 0 && detected != typeCode) typeCode = detected;
        if (typeCode != 0 && b[boot::kSectorsPerCluster] != 0) sectorsPerCluster = b[boot::kSectorsPerCluster];
        if (kind == VolumeKind::Image) {
            std::shared_ptr<ISectorReader> reader = Reader();
            if (reader) totalBytes = reader->Size();
            if (totalBytes != 0) totalSectors = totalBytes / kSectorSize;
        }
        // Sizes are kept in 512-byte sectors, whatever the volume's own sector size.
        const uint32_t ownSector = le16(b, boot::kBytesPerSector);
        const uint64_t scale = IsSectorSize(ownSector) ? ownSector / kSectorSize : 1;
        auto fatFields = [&](size_t serialAt, size_t labelAt) {
            if (uint32_t serial = le32(b, serialAt)) serialNumber = serial;
            if (label.empty()) label = FatLabel(b, labelAt);
            if (totalSectors == 0) {
                totalSectors = le32(b, boot::kLargeSectors);
                if (totalSectors == 0) totalSectors = le16(b, boot::kSmallSectors);
                totalSectors *= scale;
                if (totalSectors == 0)
                    EventLog().LogError("boot_fat16->BPB.Large_Sectors == 0 && boot_fat16->BPB.Small_Sectors == 0");
            }
        };
        if (IsFat1216Family(typeCode)) {
            fatFields(boot::kFat16Serial, boot::kFat16Label);
        } else if (IsFat32Family(typeCode)) {
            fatFields(boot::kFat32Serial, boot::kFat32Label);
        } else if (exfat) {
            ByteSpan e(exfatBoot.data(), kSectorSize);
            if (uint32_t serial = le32(e, exfat::kSerialNumber)) serialNumber = serial;
            const uint32_t shift = e[exfat::kBytesPerSectorShift];
            sectorsPerCluster = 1u << (shift + e[exfat::kSectorsPerClusterShift] - 9);
            const uint64_t length = le64(e, exfat::kVolumeLength);
            if (totalSectors == 0 && length < (1ull << (64 - shift))) totalSectors = (length << shift) / kSectorSize;
            SetFileSystemName(7);
        } else if (typeCode == 7 || typeCode == 135) {
            const uint64_t stated = le64(b, boot::kNtfsTotalSectors);
            if (totalSectors == 0 && stated < (uint64_t(1) << 52)) totalSectors = stated * scale;
            // A serial whose high half is 0 is not taken.
            if (uint32_t high = le32(b, boot::kNtfsSerialHigh)) {
                serialNumberHigh = high;
                serialNumber = le32(b, boot::kNtfsSerialLow);
            }
        } else if (typeCode == 0) {
            ScanPartitionTable(0);
        }
        if (totalBytes == 0 && totalSectors != 0) totalBytes = totalSectors * kSectorSize;
        if (totalClusters == 0 && totalSectors != 0 && sectorsPerCluster != 0)
            totalClusters = totalSectors / sectorsPerCluster;
        bytesPerCluster = sectorsPerCluster * bytesPerSector;
    } catch (...) {
        // The descriptor keeps what was filled before the failure.
    }
    return 1;
}

void CVolume::ScanPartitionTable(uint64_t base) {
    SectorFetch fetch = [this](uint64_t sector, uint8_t* out) {
        return ReadSectors(out, sector, 1) >= kSectorSize;
    };
    GuidTable gpt;
    PartitionWalk walk = base == 0 ? ReadDiskPartitions(fetch, totalSectors, &gpt)
                                   : WalkPartitionTable(fetch, base, totalSectors);
    if (walk.protective && !gpt.found)
        EventLog().LogError("No readable GUID partition table on [%s] behind its protective MBR", DisplayName().c_str());
    else if (gpt.primaryDamaged)
        EventLog().LogError("The GUID partition table header on [%s] is damaged; its backup at the end of the disk is used",
                            DisplayName().c_str());
    if (walk.damagedChain)
        EventLog().LogError("Damaged extended partition chain on [%s] at sector %llu, the rest of the chain is skipped",
                            DisplayName().c_str(), (unsigned long long)walk.damagedAt);
    for (const PartitionEntry& entry : walk.entries) {
        bool listed = false;
        for (const CVolume* child : Children()) {
            if (child->layout.partitionCount == 0) continue;
            if (child->layout.entries[0].startingOffset / kSectorSize == entry.sector) listed = true;
        }
        if (listed) continue;
        FoundObject report;
        report.start = entry.sector * kSectorSize;
        report.parent = Id();
        report.type = int16_t(entry.type);
        Computer().AddFoundVolume(report, &entry);
    }
}

}  // namespace vx
