#pragma once
// NTFS on-disk layout: the boot-sector fields the analyser reads, the MFT
// record header, attribute headers and the values of the attributes it uses.
// Every offset is in bytes from the start of its structure; every field is
// little-endian and read with le16/le32/le64 over a bounded span.
#include <cstdint>

namespace vx::ntfs {

// Boot sector.
namespace boot {
inline constexpr uint32_t BytesPerSector = 0x0B;     // 2
inline constexpr uint32_t SectorsPerCluster = 0x0D;  // 1; above 0x80 it is 2^(256 - value)
inline constexpr uint32_t TotalSectors = 0x28;       // 8
inline constexpr uint32_t MftCluster = 0x30;         // 8
inline constexpr uint32_t ClustersPerRecord = 0x40;  // 1; negative: 2^-value bytes
}  // namespace boot

// MFT record header ("FILE" record).
namespace record {
inline constexpr uint32_t Magic = 0x454C4946;        // "FILE"
inline constexpr uint32_t UsaOffset = 0x04;          // 2
inline constexpr uint32_t UsaCount = 0x06;           // 2: the sequence number and one word per 512 bytes
inline constexpr uint32_t FirstAttribute = 0x14;     // 2
inline constexpr uint32_t Flags = 0x16;              // 2
inline constexpr uint32_t BytesInUse = 0x18;         // 4
inline constexpr uint32_t BytesAllocated = 0x1C;     // 4
inline constexpr uint32_t BaseRecord = 0x20;         // 8: 0 in a base record
inline constexpr uint32_t OwnNumber = 0x2C;          // 4
inline constexpr uint16_t FlagInUse = 0x0001;
inline constexpr uint16_t FlagDirectory = 0x0002;
// The update sequence protects the last word of every 512-byte stride.
inline constexpr uint32_t FixupStride = 512;
inline constexpr uint32_t MinSize = 512;
inline constexpr uint32_t MaxSize = 65536;
}  // namespace record

// Attribute types.
namespace type {
inline constexpr uint32_t StandardInformation = 0x10;
inline constexpr uint32_t AttributeList = 0x20;
inline constexpr uint32_t FileName = 0x30;
inline constexpr uint32_t Data = 0x80;
inline constexpr uint32_t End = 0xFFFFFFFF;
}  // namespace type

// Attribute header, common part.
namespace attr {
inline constexpr uint32_t Type = 0x00;               // 4
inline constexpr uint32_t Length = 0x04;             // 4
inline constexpr uint32_t NonResident = 0x08;        // 1
inline constexpr uint32_t NameLength = 0x09;         // 1, UTF-16 units
inline constexpr uint32_t NameOffset = 0x0A;         // 2
inline constexpr uint32_t Flags = 0x0C;              // 2
inline constexpr uint16_t FlagCompressionMask = 0x00FF;
inline constexpr uint16_t FlagEncrypted = 0x4000;
inline constexpr uint16_t FlagSparse = 0x8000;
// Resident.
inline constexpr uint32_t ValueLength = 0x10;        // 4
inline constexpr uint32_t ValueOffset = 0x14;        // 2
inline constexpr uint32_t ResidentHeaderSize = 0x18;
// Non-resident.
inline constexpr uint32_t LowestVcn = 0x10;          // 8
inline constexpr uint32_t HighestVcn = 0x18;         // 8
inline constexpr uint32_t MappingPairs = 0x20;       // 2
inline constexpr uint32_t CompressionUnit = 0x22;    // 1: log2 of clusters per unit
inline constexpr uint32_t AllocatedSize = 0x28;      // 8
inline constexpr uint32_t DataSize = 0x30;           // 8
inline constexpr uint32_t InitializedSize = 0x38;    // 8
inline constexpr uint32_t NonResidentHeaderSize = 0x40;
}  // namespace attr

// Standard-information value.
namespace stdinfo {
inline constexpr uint32_t Created = 0x00;
inline constexpr uint32_t Modified = 0x08;
inline constexpr uint32_t Accessed = 0x18;
inline constexpr uint32_t MinLength = 0x20;
}  // namespace stdinfo

// File-name value.
namespace filename {
inline constexpr uint32_t Parent = 0x00;             // 8: low 48 bits record number, high 16 sequence
inline constexpr uint32_t RealSize = 0x30;           // 8
inline constexpr uint32_t NameLength = 0x40;         // 1, UTF-16 units
inline constexpr uint32_t NameSpace = 0x41;          // 1
inline constexpr uint32_t Name = 0x42;
inline constexpr uint8_t SpacePosix = 0;
inline constexpr uint8_t SpaceWin32 = 1;
inline constexpr uint8_t SpaceDos = 2;
inline constexpr uint8_t SpaceWin32AndDos = 3;
}  // namespace filename

// Attribute-list entry.
namespace listentry {
inline constexpr uint32_t Type = 0x00;               // 4
inline constexpr uint32_t Length = 0x04;             // 2
inline constexpr uint32_t NameLength = 0x06;         // 1
inline constexpr uint32_t StartVcn = 0x08;           // 8
inline constexpr uint32_t Record = 0x10;             // 8: low 48 bits record number
inline constexpr uint32_t MinLength = 0x1A;
}  // namespace listentry

// Well-known records.
inline constexpr int32_t kMftRecord = 0;
inline constexpr int32_t kRootRecord = 5;
inline constexpr int32_t kBitmapRecord = 6;

// LZNT1 compression: data is stored in units of 2^CompressionUnit clusters
// (16 on every volume that allows compression), each unit split into 4 KiB
// chunks.
inline constexpr uint32_t kLznt1ChunkSize = 4096;
inline constexpr uint64_t kRecordReferenceMask = 0x0000FFFFFFFFFFFFull;

}  // namespace vx::ntfs
