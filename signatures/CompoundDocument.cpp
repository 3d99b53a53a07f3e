#include "signatures/CompoundDocument.h"

#include <array>
#include <cstring>

#include "device/Volume.h"
#include "fs/FoundObject.h"

namespace vx {

namespace {

struct StreamRule {
    const char* name;
    bool prefix;  // compare only the length of `name`
    int32_t id;
};

// Tested in this order for every entry; the first that holds decides.
constexpr StreamRule kStreamRules[] = {
    {"Workbook", false, compound_id::Excel},
    {"WordDocument", false, compound_id::Word},
    {"PowerPoint Document", false, compound_id::PowerPoint},
    {"Scene", false, compound_id::Max3D},
    {"Props", false, compound_id::Project},
    {"VisioDocument", false, compound_id::Visio},
    {"Envelope", false, compound_id::Publisher},
    {"Symbol ", true, compound_id::Flash},
    {"DocumentViewStyles", false, compound_id::Ichitaro},
    {"BodyText", false, compound_id::BodyText},
};

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

// The entry's name as UTF-16 code units, up to its terminator or the end of
// the name field.
struct EntryName {
    std::array<char16_t, compound::EntryNameBytes / 2> units{};
    size_t length = 0;
};

EntryName ReadEntryName(ByteSpan entries, size_t index) {
    EntryName name;
    const size_t base = index * compound::EntrySize;
    for (size_t i = 0; i < name.units.size(); ++i) {
        char16_t c = char16_t(le16(entries, base + 2 * i));
        if (c == 0) break;
        name.units[name.length++] = c;
    }
    return name;
}

bool NameEquals(const EntryName& name, const char* text, bool prefix) {
    const size_t n = std::strlen(text);
    if (prefix ? name.length < n : name.length != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (FoldAscii(name.units[i]) != FoldAscii(char16_t(uint8_t(text[i])))) return false;
    return true;
}

}  // namespace

int32_t ClassifyStreams(ByteSpan entries) {
    const size_t count = std::min(compound::EntriesRead, entries.size() / compound::EntrySize);
    if (count == 0 || !NameEquals(ReadEntryName(entries, 0), "Root Entry", false)) return compound_id::Storage;
    for (size_t e = 0; e < count; ++e) {
        const EntryName name = ReadEntryName(entries, e);
        for (const StreamRule& rule : kStreamRules)
            if (NameEquals(name, rule.name, rule.prefix)) return rule.id;
    }
    return compound_id::Storage;
}

int32_t ClassifyCompound(CVolume& volume, FoundObject& candidate, ByteSpan header) {
    const uint16_t shift = le16(header, compound::SectorShift) % 32;
    if (shift < compound::MinSectorShift || shift > compound::MaxSectorShift) return 0;
    const uint64_t sectorSize = uint64_t(1) << shift;
    const uint64_t fatSectors = le32(header, compound::FatSectorCount);
    const uint64_t directorySector = le32(header, compound::FirstDirectorySector);

    // Sectors the allocation table can describe, times the sector size: at
    // most 2^14 * 2^32 * 2^16, which fits 64 bits.
    candidate.size = (sectorSize / 4) * (fatSectors * sectorSize);

    // The header fills the document's first sector, so sector n starts at (n + 1) * size.
    const uint64_t position = candidate.start + (directorySector + 1) * sectorSize;
    if (volume.totalBytes != 0 && position >= volume.totalBytes) return 0;

    // Read the sectors that cover the directory and take it from its exact byte position.
    constexpr size_t kCover = compound::DirectoryReadSize / kSectorSize + 2;
    std::array<uint8_t, kCover * kSectorSize> buffer{};
    const uint64_t first = position / kSectorSize;
    const size_t skip = size_t(position % kSectorSize);
    const uint64_t count = (skip + compound::DirectoryReadSize + kSectorSize - 1) / kSectorSize;
    const uint32_t got = volume.ReadSectors(buffer.data(), first, count);
    if (got <= skip) return 0;
    // What lies past a short read at the end of the volume stays zero.
    return ClassifyStreams(ByteSpan(buffer.data() + skip, compound::DirectoryReadSize));
}

}  // namespace vx
