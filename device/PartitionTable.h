#pragma once
// The MBR partition table and its chain of extended boot records, read
// through a sector callback so that a volume and a bare disk share one walk.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vx {

struct PartitionEntry {
    uint64_t sector = 0;   // absolute first sector (512-byte units) in the source walked
    uint64_t sectors = 0;  // number of sectors (512-byte units) as the entry gives it
    uint8_t type = 0;      // partition type byte; 0 in a GUID partition table
    std::string name;      // GUID partition table: the partition's name
    std::string typeGuid;  // GUID partition table: "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"
};

struct PartitionWalk {
    std::vector<PartitionEntry> entries;  // every partition that is not an extended container, in table order
    bool damagedChain = false;            // an extended chain looped or ran past the limit
    uint64_t damagedAt = 0;               // the record where the walk stopped
    bool protective = false;              // the MBR only guards a GUID partition table
};

// What ReadGuidPartitionTable found.
struct GuidTable {
    bool found = false;           // a header and entry array whose checksums hold
    bool primaryDamaged = false;  // the entries come from the backup at the disk's end
    uint32_t blockSize = 512;     // the disk's logical sector size the table is laid out in
    std::vector<PartitionEntry> entries;
};

// Reads one 512-byte sector into `out`; false when it cannot be read whole.
using SectorFetch = std::function<bool(uint64_t sector, uint8_t* out)>;

// Longest chain of extended boot records followed before the walk gives up.
inline constexpr size_t kMaxLogicalPartitions = 128;

inline bool IsExtendedPartition(uint8_t type) { return type == 0x05 || type == 0x0F; }

// Walks the table at `base`: entries that are empty or whose first sector lies
// beyond `totalSectors` are skipped; extended entries are followed (the
// logical entries of a record are relative to the record, its link relative
// to the outermost extended partition). A record met twice ends its chain.
PartitionWalk WalkPartitionTable(const SectorFetch& read, uint64_t base, uint64_t totalSectors);

// Reads the GUID partition table of a disk of `totalSectors` 512-byte
// sectors: the primary header at block 1, or when its header or entry array
// fails its checksum the backup header at the disk's last block; logical
// blocks of 512 bytes are tried before 4096. Unused entries and entries that
// start beyond the disk are left out.
GuidTable ReadGuidPartitionTable(const SectorFetch& read, uint64_t totalSectors);

// The partitions of a whole disk: the MBR walk, or the GUID partition table
// when the MBR is a protective one (`gpt` tells what it found).
PartitionWalk ReadDiskPartitions(const SectorFetch& read, uint64_t totalSectors, GuidTable* gpt = nullptr);

// A GUID in its registry spelling, from its 16 on-disk bytes (the first
// three fields little-endian).
std::string GuidText(const uint8_t* bytes);

}  // namespace vx
