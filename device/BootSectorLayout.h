#pragma once
// Byte offsets of the boot sectors and partition tables the program reads.
// Every field is little-endian; read them with le16/le32 over the sector.
#include <cstddef>
#include <cstdint>

namespace vx::boot {

// Shared BIOS parameter block.
inline constexpr size_t kOemName = 3;            // 8 bytes
inline constexpr size_t kOemNameLength = 8;
inline constexpr size_t kBytesPerSector = 0x0B;  // 16-bit
inline constexpr size_t kSectorsPerCluster = 0x0D;
inline constexpr size_t kReservedSectors = 0x0E; // 16-bit
inline constexpr size_t kNumberOfFats = 0x10;
inline constexpr size_t kRootEntries = 0x11;     // 16-bit
inline constexpr size_t kSmallSectors = 0x13;    // 16-bit
inline constexpr size_t kMediaDescriptor = 0x15;
inline constexpr size_t kSectorsPerFat16 = 0x16; // 16-bit
inline constexpr size_t kLargeSectors = 0x20;    // 32-bit

// FAT12/FAT16 extended block.
inline constexpr size_t kFat16Serial = 0x27;     // 32-bit
inline constexpr size_t kFat16Label = 0x2B;      // 11 bytes
inline constexpr size_t kFat16SystemId = 0x36;   // 8 bytes

// FAT32 extended block.
inline constexpr size_t kSectorsPerFat32 = 0x24; // 32-bit
inline constexpr size_t kRootCluster = 0x2C;     // 32-bit
inline constexpr size_t kFat32BackupSector = 0x32; // 16-bit, in the reserved area
inline constexpr size_t kFat32Serial = 0x43;     // 32-bit
inline constexpr size_t kFat32Label = 0x47;      // 11 bytes
inline constexpr size_t kFat32SystemId = 0x52;   // 8 bytes

// NTFS.
inline constexpr size_t kNtfsSystemId = 3;       // 8 bytes
inline constexpr size_t kNtfsTotalSectors = 0x28; // 64-bit, the backup boot sector follows them
inline constexpr size_t kNtfsMftCluster = 0x30;  // 64-bit
inline constexpr size_t kNtfsSerialLow = 0x48;   // 32-bit
inline constexpr size_t kNtfsSerialHigh = 0x4C;  // 32-bit

inline constexpr size_t kLabelLength = 11;
inline constexpr size_t kSystemIdLength = 8;

// MBR and extended boot record.
inline constexpr size_t kPartitionEntries = 0x1BE;
inline constexpr size_t kPartitionEntrySize = 16;
inline constexpr size_t kPartitionEntryCount = 4;
inline constexpr size_t kEntryType = 4;          // within an entry
inline constexpr size_t kEntryFirstSector = 8;   // 32-bit
inline constexpr size_t kEntrySectorCount = 12;  // 32-bit
inline constexpr size_t kSignature = 0x1FE;      // 16-bit
inline constexpr uint16_t kSignatureValue = 0xAA55;
inline constexpr uint8_t kProtectiveType = 0xEE; // the one entry of a GUID-partitioned disk

// GUID partition table: a header at logical block 1 and its backup at the
// disk's last block, each pointing at its array of entries. Blocks are the
// disk's logical sectors (512 or 4096 bytes).
inline constexpr size_t kGptSignature = 0;       // "EFI PART"
inline constexpr size_t kGptSignatureLength = 8;
inline constexpr size_t kGptHeaderSize = 0x0C;   // 32-bit
inline constexpr size_t kGptHeaderCrc = 0x10;    // 32-bit CRC32 of the header with this field 0
inline constexpr size_t kGptMyBlock = 0x18;      // 64-bit
inline constexpr size_t kGptAlternateBlock = 0x20;  // 64-bit
inline constexpr size_t kGptEntriesBlock = 0x48; // 64-bit
inline constexpr size_t kGptEntryCount = 0x50;   // 32-bit
inline constexpr size_t kGptEntrySize = 0x54;    // 32-bit
inline constexpr size_t kGptEntriesCrc = 0x58;   // 32-bit CRC32 of the entry array
inline constexpr size_t kGptMinHeaderSize = 92;
inline constexpr size_t kGptMinEntrySize = 128;
// One entry.
inline constexpr size_t kGptTypeGuid = 0;        // 16 bytes; all zero for an unused entry
inline constexpr size_t kGptFirstBlock = 0x20;   // 64-bit
inline constexpr size_t kGptLastBlock = 0x28;    // 64-bit, inclusive
inline constexpr size_t kGptName = 0x38;         // 36 UTF-16LE characters
inline constexpr size_t kGptNameLength = 72;
inline constexpr size_t kGuidLength = 16;

}  // namespace vx::boot
