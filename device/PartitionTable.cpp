#include "device/PartitionTable.h"

#include <array>
#include <unordered_set>

#include "common/Bytes.h"
#include "device/BootSectorLayout.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

struct RawEntry {
    uint8_t type;
    uint32_t first;
    uint32_t count;
};

bool ReadTable(const SectorFetch& read, uint64_t sector, std::array<RawEntry, 4>& out) {
    std::array<uint8_t, 512> buffer{};
    if (!read(sector, buffer.data())) return false;
    ByteSpan b(buffer);
    if (le16(b, boot::kSignature) != boot::kSignatureValue) return false;
    for (size_t i = 0; i < boot::kPartitionEntryCount; ++i) {
        size_t e = boot::kPartitionEntries + i * boot::kPartitionEntrySize;
        out[i] = {le8(b, e + boot::kEntryType), le32(b, e + boot::kEntryFirstSector),
                  le32(b, e + boot::kEntrySectorCount)};
    }
    return true;
}

bool Usable(const RawEntry& e, uint64_t absolute, uint64_t totalSectors) {
    if (e.type == 0 || e.count == 0) return false;
    if (absolute > totalSectors) return false;
    if (e.count > totalSectors) EventLog().LogDebug("pPartition->NumberSectors > TotalSectors");
    return true;
}

// Follows one extended partition starting at `extended` (absolute sector).
void WalkExtended(const SectorFetch& read, uint64_t extended, uint64_t totalSectors, PartitionWalk& walk,
                  std::unordered_set<uint64_t>& visited) {
    uint64_t record = extended;
    for (size_t records = 0;; ++records) {
        if (records >= kMaxLogicalPartitions || !visited.insert(record).second) {
            walk.damagedChain = true;
            walk.damagedAt = record;
            return;
        }
        std::array<RawEntry, 4> table{};
        if (!ReadTable(read, record, table)) return;
        bool linked = false;
        uint64_t next = 0;
        for (const RawEntry& e : table) {
            if (IsExtendedPartition(e.type)) {
                uint64_t target = extended + e.first;
                // Only the first link is the chain; a record has one.
                if (!linked && Usable(e, target, totalSectors)) {
                    linked = true;
                    next = target;
                }
                continue;
            }
            uint64_t absolute = record + e.first;
            if (absolute == record || !Usable(e, absolute, totalSectors)) continue;
            walk.entries.push_back({absolute, e.count, e.type, {}, {}});
        }
        if (!linked) return;
        record = next;
    }
}

}  // namespace

PartitionWalk WalkPartitionTable(const SectorFetch& read, uint64_t base, uint64_t totalSectors) {
    PartitionWalk walk;
    std::array<RawEntry, 4> table{};
    if (!ReadTable(read, base, table)) return walk;
    std::unordered_set<uint64_t> visited{base};
    for (const RawEntry& e : table) {
        uint64_t absolute = base + e.first;
        // An entry pointing at its own table describes no volume.
        if (absolute == base || !Usable(e, absolute, totalSectors)) continue;
        if (IsExtendedPartition(e.type)) {
            WalkExtended(read, absolute, totalSectors, walk, visited);
            continue;
        }
        if (e.type == boot::kProtectiveType) {
            walk.protective = true;
            continue;
        }
        walk.entries.push_back({absolute, e.count, e.type, {}, {}});
    }
    return walk;
}

}  // namespace vx
