// TrueType and OpenType fonts: the table directory; the file reaches to the
// end of its farthest table, padded to four bytes as font tools write it.
#include <algorithm>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace font {
inline constexpr uint64_t TableCount = 4, Directory = 12, EntrySize = 16;
inline constexpr uint16_t MaxTables = 256;
}  // namespace font

StructuralSize FontSize(BoundedReader& r) {
    uint32_t version = 0;
    uint16_t tables = 0;
    if (!r.Be32(0, version) || !r.Be16(font::TableCount, tables)) return {};
    if (version != 0x00010000 && version != 0x4F54544F /* OTTO */ && version != 0x74727565 /* true */)
        return StructuralSize::Reject();
    if (tables == 0 || tables > font::MaxTables) return StructuralSize::Reject();
    const uint64_t directoryEnd = font::Directory + font::EntrySize * tables;
    uint64_t end = directoryEnd;
    for (uint16_t i = 0; i < tables; ++i) {
        const uint64_t entry = font::Directory + font::EntrySize * i;
        uint8_t tag[4];
        uint32_t offset = 0, length = 0;
        if (!r.Read(entry, tag, 4) || !r.Be32(entry + 8, offset) || !r.Be32(entry + 12, length)) return {};
        for (uint8_t c : tag)
            if (c < 0x20 || c > 0x7E) return StructuralSize::Reject();
        if (offset < directoryEnd) return StructuralSize::Reject();
        end = std::max(end, uint64_t(offset) + length);
    }
    end = (end + 3) & ~uint64_t(3);
    if (!r.Has(0, end)) return {};
    return StructuralSize::Sized(end);
}

}  // namespace vx
