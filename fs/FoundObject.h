#pragma once
// One thing an analysis found: a live or deleted file or folder, a file
// recognised by content, an invented folder, or a volume node. The tree is
// implied by ids: a record's children are the records whose parent is its id.
#include <cstdint>

namespace vx {

class CVolume;

namespace object_flag {
inline constexpr uint16_t Deleted = 0x0001;
inline constexpr uint16_t Folder = 0x0002;
inline constexpr uint16_t ContainsDeleted = 0x0010;
inline constexpr uint16_t RecoveryMark = 0x0020;   // used by the recovery flow
inline constexpr uint16_t SizeFromStructure = 0x0040;  // the file's own structure gave its size
inline constexpr uint16_t NameAssigned = 0x0080;
inline constexpr uint16_t ExplorerMark = 0x0100;   // used by the explorer
inline constexpr uint16_t FoundByContent = 0x1000;
inline constexpr uint16_t SeenAgain = 0x2000;
inline constexpr uint16_t Embedded = 0x4000;       // not owned by the collection
}  // namespace object_flag

// Ids with a fixed meaning.
namespace object_id {
inline constexpr int32_t FatRoot = 0;
inline constexpr int32_t Fat32Root = 2;
inline constexpr int32_t NtfsRoot = 5;
inline constexpr int32_t ExFatRoot = 1;    // no cluster has this number
inline constexpr int32_t Computer = -12;
inline constexpr int32_t RecycleBin = -17;
inline constexpr int32_t LostFolders = -18;
inline constexpr int32_t LostFiles = -19;
}  // namespace object_id

inline constexpr uint64_t kSizeUnknown = ~uint64_t(0);

struct FoundObject {
    uint64_t start = 0;        // byte offset of the data inside the volume (a volume node: the partition offset)
    uint64_t size = 0;         // bytes; kSizeUnknown when not determined
    uint64_t created = 0;      // Windows file times (100 ns since 1601)
    uint64_t modified = 0;
    uint64_t accessed = 0;
    uint64_t cluster = 0;      // first cluster (FAT), first LCN (NTFS), cluster of the start (scan)
    union {
        const char* name;      // UTF-8, zero-terminated
        CVolume* volume;       // a volume node's volume
    };
    int32_t id = 0;
    int32_t parent = 0;
    int32_t tickedBelow = 0;   // descendants ticked for recovery (explorer)
    uint16_t flags = 0;
    int16_t type = 0;          // file-type id; a volume node: the partition type byte
    uint16_t attributes = 0;   // FAT attribute byte
    uint32_t width = 0;        // pixels of an image found by content, 0 when not known
    uint32_t height = 0;

    FoundObject() : name(nullptr) {}

    bool Is(uint16_t flag) const { return (flags & flag) != 0; }
    bool IsFolder() const { return Is(object_flag::Folder); }
    bool IsDeleted() const { return Is(object_flag::Deleted); }
    bool IsFoundByContent() const { return Is(object_flag::FoundByContent); }
    bool SizeKnown() const { return size != kSizeUnknown; }
    // A volume's own node: its name slot holds the volume, not a name.
    bool IsVolumeNode() const { return Is(object_flag::Embedded) && !IsFolder(); }
};

}  // namespace vx
