#pragma once
// The MBR partition table and its chain of extended boot records, read
// through a sector callback so that a volume and a bare disk share one walk.
#include <cstdint>
#include <functional>
#include <vector>

namespace vx {

struct PartitionEntry {
    uint64_t sector = 0;   // absolute first sector (512-byte units) in the source walked
    uint64_t sectors = 0;  // number of sectors as the entry gives it
    uint8_t type = 0;      // partition type byte
};

struct PartitionWalk {
    std::vector<PartitionEntry> entries;  // every partition that is not an extended container, in table order
    bool damagedChain = false;            // an extended chain looped or ran past the limit
    uint64_t damagedAt = 0;               // the record where the walk stopped
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

}  // namespace vx
