// EXE: a PE image reaches to the end of its farthest section or of its
// certificate table; a plain DOS program to the pages its header counts.
#include <algorithm>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace pe {
inline constexpr uint64_t DosLastPageBytes = 2, DosPages = 4, DosHeaderParagraphs = 8, NewHeader = 0x3C;
inline constexpr uint64_t SectionCount = 6, OptionalSize = 20, OptionalHeader = 24;
inline constexpr uint64_t SectionEntry = 40, RawSize = 16, RawPointer = 20;
inline constexpr uint16_t Pe32 = 0x10B, Pe32Plus = 0x20B;
inline constexpr uint32_t CertificateDirectory = 4;
}  // namespace pe

StructuralSize PeSize(BoundedReader& r) {
    uint16_t lastPage = 0, pages = 0, paragraphs = 0;
    uint32_t newHeader = 0;
    if (!r.Equals(0, "MZ") || !r.Le16(pe::DosLastPageBytes, lastPage) || !r.Le16(pe::DosPages, pages) ||
        !r.Le16(pe::DosHeaderParagraphs, paragraphs) || !r.Le32(pe::NewHeader, newHeader))
        return StructuralSize::Reject();
    if (newHeader >= 0x40 && newHeader < (1u << 20) && r.Equals(newHeader, std::string_view("PE\0\0", 4))) {
        uint16_t sections = 0, optionalSize = 0, magic = 0;
        const uint64_t coff = newHeader + 4;
        if (!r.Le16(coff + 2, sections) || !r.Le16(coff + 16, optionalSize)) return {};
        const uint64_t optional = newHeader + pe::OptionalHeader;
        if (!r.Le16(optional, magic) || (magic != pe::Pe32 && magic != pe::Pe32Plus)) return StructuralSize::Reject();
        if (sections == 0 || sections > 96) return StructuralSize::Reject();
        const uint64_t directories = optional + (magic == pe::Pe32 ? 96 : 112);
        const uint64_t table = optional + optionalSize;
        uint64_t end = table + pe::SectionEntry * sections;
        for (uint16_t i = 0; i < sections; ++i) {
            uint32_t size = 0, pointer = 0;
            const uint64_t s = table + pe::SectionEntry * i;
            if (!r.Le32(s + pe::RawSize, size) || !r.Le32(s + pe::RawPointer, pointer)) return {};
            if (size) end = std::max(end, uint64_t(pointer) + size);
        }
        uint32_t certificate = 0, certificateSize = 0;
        if (optionalSize >= directories - optional + 8 * (pe::CertificateDirectory + 1) &&
            r.Le32(directories + 8 * pe::CertificateDirectory, certificate) &&
            r.Le32(directories + 8 * pe::CertificateDirectory + 4, certificateSize) && certificate && certificateSize)
            end = std::max(end, uint64_t(certificate) + certificateSize);
        if (!r.Has(0, end)) return {};
        return StructuralSize::Sized(end);
    }
    // A DOS program: its header must fit the pages it counts.
    if (pages == 0 || lastPage >= 512 || paragraphs < 2 || uint64_t(paragraphs) * 16 > uint64_t(pages) * 512)
        return StructuralSize::Reject();
    const uint64_t end = uint64_t(pages) * 512 - (lastPage ? 512 - lastPage : 0);
    if (!r.Has(0, end)) return {};
    return StructuralSize::Sized(end);
}

}  // namespace vx
