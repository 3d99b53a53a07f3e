#pragma once
// On-disk layout of exFAT: the boot region, the FAT and the directory entry
// sets. All little-endian. Sectors here are the volume's own sectors
// (2^bytes-per-sector shift bytes), not the 512-byte reading unit.
#include <cstddef>
#include <cstdint>

namespace vx::exfat {

// Main boot sector.
inline constexpr size_t kJumpBoot = 0;              // EB 76 90
inline constexpr size_t kFileSystemName = 3;        // 8 bytes, "EXFAT   "
inline constexpr size_t kFileSystemNameLength = 8;
inline constexpr char kFileSystemNameText[] = "EXFAT   ";
inline constexpr size_t kMustBeZero = 11;           // 53 bytes, where a FAT parameter block would be
inline constexpr size_t kMustBeZeroLength = 53;
inline constexpr size_t kPartitionOffset = 64;      // 64-bit, sectors
inline constexpr size_t kVolumeLength = 72;         // 64-bit, sectors
inline constexpr size_t kFatOffset = 80;            // 32-bit, sectors
inline constexpr size_t kFatLength = 84;            // 32-bit, sectors
inline constexpr size_t kClusterHeapOffset = 88;    // 32-bit, sectors
inline constexpr size_t kClusterCount = 92;         // 32-bit
inline constexpr size_t kRootCluster = 96;          // 32-bit
inline constexpr size_t kSerialNumber = 100;        // 32-bit
inline constexpr size_t kRevision = 104;            // 16-bit
inline constexpr size_t kVolumeFlags = 106;         // 16-bit, left out of the boot checksum
inline constexpr size_t kBytesPerSectorShift = 108;
inline constexpr size_t kSectorsPerClusterShift = 109;
inline constexpr size_t kNumberOfFats = 110;
inline constexpr size_t kPercentInUse = 112;        // left out of the boot checksum
inline constexpr size_t kBootSignature = 510;       // 16-bit, 0xAA55

inline constexpr uint32_t kMinBytesPerSectorShift = 9;
inline constexpr uint32_t kMaxBytesPerSectorShift = 12;
inline constexpr uint32_t kMaxClusterShift = 25;    // bytes-per-sector shift + sectors-per-cluster shift

// Boot region: boot sector, 8 extended boot sectors, OEM parameters, a
// reserved sector, and the checksum sector (the checksum repeated). The
// backup region follows at once.
inline constexpr uint32_t kBootRegionSectors = 12;
inline constexpr uint32_t kChecksumSector = 11;
inline constexpr uint32_t kBackupBootRegion = 12;   // sector of the backup boot sector

// FAT: 32-bit entries; entries 0 and 1 are reserved, data clusters are 2 and up.
inline constexpr size_t kFatEntrySize = 4;
inline constexpr uint32_t kFirstCluster = 2;
inline constexpr uint32_t kBadCluster = 0xFFFFFFF7;
inline constexpr uint32_t kEndOfChain = 0xFFFFFFFF;
inline constexpr uint32_t kMaxClusterCount = 0xFFFFFFF5;

// Directory entry (32 bytes): the type byte, then per-type fields.
inline constexpr size_t kEntrySize = 32;
inline constexpr size_t kEntryType = 0;
inline constexpr uint8_t kTypeInUse = 0x80;         // clear in a deleted entry
inline constexpr uint8_t kTypeEndOfDirectory = 0x00;

inline constexpr uint8_t kTypeAllocationBitmap = 0x81;
inline constexpr uint8_t kTypeUpcaseTable = 0x82;
inline constexpr uint8_t kTypeVolumeLabel = 0x83;
inline constexpr uint8_t kTypeFile = 0x85;
inline constexpr uint8_t kTypeStreamExtension = 0xC0;
inline constexpr uint8_t kTypeFileName = 0xC1;

// Allocation bitmap entry.
inline constexpr size_t kBitmapFlags = 1;           // bit 0: which FAT's bitmap (0: the first)
inline constexpr size_t kBitmapFirstCluster = 20;   // 32-bit
inline constexpr size_t kBitmapDataLength = 24;     // 64-bit

// Volume label entry.
inline constexpr size_t kLabelCharacterCount = 1;
inline constexpr size_t kLabelText = 2;             // 11 UTF-16 characters
inline constexpr size_t kLabelMaxChars = 11;

// File entry: the first of a set.
inline constexpr size_t kSecondaryCount = 1;
inline constexpr size_t kSetChecksum = 2;           // 16-bit, over the whole set but these two bytes
inline constexpr size_t kFileAttributes = 4;        // 16-bit
inline constexpr size_t kCreateTimestamp = 8;       // 32-bit, DOS date << 16 | DOS time
inline constexpr size_t kModifiedTimestamp = 12;
inline constexpr size_t kAccessedTimestamp = 16;
inline constexpr size_t kCreate10ms = 20;           // 0..199, 10 ms units on top of the 2 s step
inline constexpr size_t kModified10ms = 21;
inline constexpr size_t kCreateUtcOffset = 22;      // bit 7 valid, bits 0-6 signed quarter hours
inline constexpr size_t kModifiedUtcOffset = 23;
inline constexpr size_t kAccessedUtcOffset = 24;
inline constexpr uint8_t kUtcOffsetValid = 0x80;
inline constexpr uint16_t kAttrDirectory = 0x10;
inline constexpr uint32_t kMinSecondaryCount = 2;   // a stream extension and one name entry
inline constexpr uint32_t kMaxSecondaryCount = 18;  // 255 characters need 17 name entries

// Stream extension entry.
inline constexpr size_t kStreamFlags = 1;
inline constexpr uint8_t kFlagAllocationPossible = 0x01;
inline constexpr uint8_t kFlagNoFatChain = 0x02;
inline constexpr size_t kNameLength = 3;            // characters
inline constexpr size_t kNameHash = 4;              // 16-bit
inline constexpr size_t kValidDataLength = 8;       // 64-bit
inline constexpr size_t kStreamFirstCluster = 20;   // 32-bit
inline constexpr size_t kDataLength = 24;           // 64-bit

// File name entry: 15 UTF-16 characters.
inline constexpr size_t kFileNameText = 2;
inline constexpr size_t kFileNameChars = 15;

// Largest directory: 256 MiB as the format allows.
inline constexpr uint64_t kMaxDirectoryBytes = 256ull << 20;

}  // namespace vx::exfat
