// ELF: the farthest of the section header table, the program headers'
// segments and the sections' contents.
#include <algorithm>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace elf {
inline constexpr uint64_t Class = 4, Data = 5;
inline constexpr uint8_t Class32 = 1, Class64 = 2, Little = 1, Big = 2;
inline constexpr uint32_t NoBits = 8;
inline constexpr uint16_t MaxHeaders = 65000;
}  // namespace elf

namespace {
struct Fields {
    BoundedReader& r;
    bool big;
    bool wide;
    bool U16(uint64_t at, uint16_t& v) { return big ? r.Be16(at, v) : r.Le16(at, v); }
    bool U32(uint64_t at, uint32_t& v) { return big ? r.Be32(at, v) : r.Le32(at, v); }
    bool Addr(uint64_t at, uint64_t& v) {
        if (wide) return big ? r.Be64(at, v) : r.Le64(at, v);
        uint32_t n = 0;
        if (!U32(at, n)) return false;
        v = n;
        return true;
    }
};
}  // namespace

StructuralSize ElfSize(BoundedReader& r) {
    uint8_t cls = 0, data = 0;
    if (!r.Equals(0, "\x7F" "ELF") || !r.U8(elf::Class, cls) || !r.U8(elf::Data, data)) return StructuralSize::Reject();
    if ((cls != elf::Class32 && cls != elf::Class64) || (data != elf::Little && data != elf::Big))
        return StructuralSize::Reject();
    Fields f{r, data == elf::Big, cls == elf::Class64};
    const uint64_t w = f.wide ? 8 : 4;
    uint64_t phoff = 0, shoff = 0;
    uint16_t ehsize = 0, phentsize = 0, phnum = 0, shentsize = 0, shnum = 0;
    const uint64_t base = 24 + w;  // e_phoff
    if (!f.Addr(base, phoff) || !f.Addr(base + w, shoff) || !f.U16(base + 2 * w + 4, ehsize) ||
        !f.U16(base + 2 * w + 6, phentsize) || !f.U16(base + 2 * w + 8, phnum) ||
        !f.U16(base + 2 * w + 10, shentsize) || !f.U16(base + 2 * w + 12, shnum))
        return {};
    if (ehsize < base + 2 * w + 16) return StructuralSize::Reject();
    if ((phnum && phentsize < (f.wide ? 56 : 32)) || (shnum && shentsize < (f.wide ? 64 : 40)))
        return StructuralSize::Reject();
    uint64_t end = ehsize;
    if (phnum) end = std::max(end, phoff + uint64_t(phnum) * phentsize);
    if (shnum) end = std::max(end, shoff + uint64_t(shnum) * shentsize);
    for (uint16_t i = 0; i < phnum && i < elf::MaxHeaders; ++i) {
        const uint64_t h = phoff + uint64_t(i) * phentsize;
        uint64_t offset = 0, filesz = 0;
        const bool ok = f.wide ? f.Addr(h + 8, offset) && f.Addr(h + 32, filesz)
                               : f.Addr(h + 4, offset) && f.Addr(h + 16, filesz);
        if (!ok) return {};
        end = std::max(end, offset + filesz);
    }
    for (uint16_t i = 0; i < shnum && i < elf::MaxHeaders; ++i) {
        const uint64_t h = shoff + uint64_t(i) * shentsize;
        uint32_t type = 0;
        uint64_t offset = 0, size = 0;
        const bool ok = f.U32(h + 4, type) && (f.wide ? f.Addr(h + 24, offset) && f.Addr(h + 32, size)
                                                      : f.Addr(h + 16, offset) && f.Addr(h + 20, size));
        if (!ok) return {};
        if (type != elf::NoBits) end = std::max(end, offset + size);
    }
    if (!r.Has(0, end)) return {};
    return StructuralSize::Sized(end);
}

}  // namespace vx
