// The GUID partition table: header and entry array checked by their CRC32s,
// the backup copy at the disk's end when the primary is damaged.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "common/Bytes.h"
#include "common/Strings.h"
#include "common/Text.h"
#include "device/BootSectorLayout.h"
#include "device/PartitionTable.h"

namespace vx {

namespace {

// The entry array of a table: far more than the 128 entries tools write,
// small enough to read at once.
constexpr uint64_t kMaxEntryArrayBytes = 4u << 20;

// Reads `bytes` (a multiple of 512) from byte `offset` (a multiple of 512).
bool ReadBytes(const SectorFetch& read, uint64_t offset, std::vector<uint8_t>& out, size_t bytes) {
    out.assign(bytes, 0);
    for (size_t done = 0; done < bytes; done += 512)
        if (!read((offset + done) / 512, out.data() + done)) return false;
    return true;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        const uInt piece = size > (1u << 30) ? (1u << 30) : uInt(size);
        crc = crc32(crc, data, piece);
        data += piece;
        size -= piece;
    }
    return uint32_t(crc);
}

// Reads and checks the header at `block` and its entry array.
bool ReadTableAt(const SectorFetch& read, uint64_t totalSectors, uint32_t blockSize, uint64_t block,
                 std::vector<PartitionEntry>& entries) {
    const uint64_t diskBlocks = totalSectors * 512 / blockSize;
    if (block == 0 || block >= diskBlocks) return false;
    std::vector<uint8_t> header;
    if (!ReadBytes(read, block * blockSize, header, blockSize)) return false;
    ByteSpan h(header);
    if (std::memcmp(header.data() + boot::kGptSignature, "EFI PART", boot::kGptSignatureLength) != 0) return false;
    const uint32_t headerSize = le32(h, boot::kGptHeaderSize);
    if (headerSize < boot::kGptMinHeaderSize || headerSize > blockSize) return false;
    const uint32_t headerCrc = le32(h, boot::kGptHeaderCrc);
    put32(header.data() + boot::kGptHeaderCrc, 0);
    if (Crc32(header.data(), headerSize) != headerCrc) return false;
    if (le64(h, boot::kGptMyBlock) != block) return false;

    const uint64_t entriesBlock = le64(h, boot::kGptEntriesBlock);
    const uint32_t count = le32(h, boot::kGptEntryCount), entrySize = le32(h, boot::kGptEntrySize);
    if (entrySize < boot::kGptMinEntrySize || entrySize % 8 != 0) return false;
    const uint64_t arrayBytes = uint64_t(count) * entrySize;
    if (arrayBytes == 0 || arrayBytes > kMaxEntryArrayBytes) return false;
    const uint64_t arrayBlocks = (arrayBytes + blockSize - 1) / blockSize;
    if (entriesBlock == 0 || entriesBlock >= diskBlocks || arrayBlocks > diskBlocks - entriesBlock) return false;
    std::vector<uint8_t> array;
    if (!ReadBytes(read, entriesBlock * blockSize, array, size_t(arrayBlocks * blockSize))) return false;
    if (Crc32(array.data(), size_t(arrayBytes)) != le32(h, boot::kGptEntriesCrc)) return false;

    const uint64_t sectorsPerBlock = blockSize / 512;
    ByteSpan a(array);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = size_t(i) * entrySize;
        const uint8_t* guid = array.data() + at + boot::kGptTypeGuid;
        if (std::all_of(guid, guid + boot::kGuidLength, [](uint8_t b) { return b == 0; })) continue;
        const uint64_t first = le64(a, at + boot::kGptFirstBlock), last = le64(a, at + boot::kGptLastBlock);
        if (first == 0 || first > last || first >= diskBlocks) continue;
        PartitionEntry entry;
        entry.sector = first * sectorsPerBlock;
        entry.sectors = (std::min(last, diskBlocks - 1) - first + 1) * sectorsPerBlock;
        entry.typeGuid = GuidText(guid);
        ByteSpan name = a.subspan(at + boot::kGptName, boot::kGptNameLength);
        size_t chars = 0;
        while (chars < name.size() / 2 && le16(name, chars * 2) != 0) ++chars;
        entry.name = Utf16LeToUtf8(name.first(chars * 2));
        entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace

std::string GuidText(const uint8_t* g) {
    ByteSpan b(g, boot::kGuidLength);
    return Format("%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", le32(b, 0), le16(b, 4), le16(b, 6), g[8], g[9],
                  g[10], g[11], g[12], g[13], g[14], g[15]);
}

GuidTable ReadGuidPartitionTable(const SectorFetch& read, uint64_t totalSectors) {
    GuidTable table;
    for (uint32_t blockSize : {512u, 4096u}) {
        const uint64_t diskBlocks = totalSectors * 512 / blockSize;
        if (diskBlocks < 3) continue;
        std::vector<PartitionEntry> entries;
        if (ReadTableAt(read, totalSectors, blockSize, 1, entries)) {
            table = {true, false, blockSize, std::move(entries)};
            return table;
        }
        entries.clear();
        if (ReadTableAt(read, totalSectors, blockSize, diskBlocks - 1, entries)) {
            table = {true, true, blockSize, std::move(entries)};
            return table;
        }
    }
    return table;
}

PartitionWalk ReadDiskPartitions(const SectorFetch& read, uint64_t totalSectors, GuidTable* gpt) {
    PartitionWalk walk = WalkPartitionTable(read, 0, totalSectors);
    if (!walk.protective) return walk;
    GuidTable table = ReadGuidPartitionTable(read, totalSectors);
    // A hybrid MBR also lists some partitions; the GUID table is the whole truth.
    if (table.found) walk.entries = table.entries;
    if (gpt) *gpt = std::move(table);
    return walk;
}

}  // namespace vx
