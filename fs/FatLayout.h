#pragma once
// On-disk layout of FAT directories: the directory entry and the long-name
// entry. All little-endian. The boot sector is in device/BootSectorLayout.h.
#include <cstddef>
#include <cstdint>

namespace vx::fat {

// Directory entry (32 bytes).
inline constexpr size_t kEntrySize = 32;
inline constexpr size_t kName = 0;              // 8 bytes, space-padded
inline constexpr size_t kNameLength = 8;
inline constexpr size_t kExtension = 8;         // 3 bytes
inline constexpr size_t kExtensionLength = 3;
inline constexpr size_t kAttributes = 11;
inline constexpr size_t kCaseFlags = 12;       // shown in lower case: 0x08 the name, 0x10 the extension
inline constexpr uint8_t kLowerName = 0x08;
inline constexpr uint8_t kLowerExtension = 0x10;
inline constexpr size_t kCreateTenths = 13;
inline constexpr size_t kCreateTime = 14;       // 16-bit
inline constexpr size_t kCreateDate = 16;       // 16-bit
inline constexpr size_t kAccessDate = 18;       // 16-bit
inline constexpr size_t kClusterHigh = 20;      // 16-bit
inline constexpr size_t kWriteTime = 22;        // 16-bit
inline constexpr size_t kWriteDate = 24;        // 16-bit
inline constexpr size_t kClusterLow = 26;       // 16-bit
inline constexpr size_t kFileSize = 28;         // 32-bit

// Long-name entry: 13 UTF-16 characters in three runs, and the checksum of
// the short name it belongs to.
inline constexpr size_t kLongSequence = 0;
inline constexpr size_t kLongChecksum = 13;
struct CharRun {
    size_t offset;
    size_t chars;
};
inline constexpr CharRun kLongNameRuns[3] = {{1, 5}, {14, 6}, {28, 2}};
inline constexpr size_t kLongNameChars = 13;

// Attribute bits and marks.
inline constexpr uint8_t kAttrLongName = 0x0F;
inline constexpr uint8_t kAttrVolumeLabel = 0x08;
inline constexpr uint8_t kAttrDirectory = 0x10;
inline constexpr uint8_t kDeletedMark = 0xE5;
inline constexpr uint8_t kDeletedMarkKanji = 0x05;  // 0xE5 as a first character, or deleted

}  // namespace vx::fat
