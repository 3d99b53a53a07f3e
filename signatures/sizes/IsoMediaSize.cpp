// ISO base media files (MP4, MOV, 3GP, M4A, HEIF, CR3): the top-level boxes
// walked by their sizes. The file ends before the first thing that is not a
// box, or before a second file-type box (the next file).
#include <algorithm>

#include "signatures/FormatIds.h"
#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace {
bool IsBoxType(const uint8_t* t) {
    for (int i = 0; i < 4; ++i)
        if (!((t[i] >= 'a' && t[i] <= 'z') || (t[i] >= 'A' && t[i] <= 'Z') || (t[i] >= '0' && t[i] <= '9') ||
              t[i] == ' ' || t[i] == 0xA9))
            return false;
    return true;
}

// The largest image extent ("ispe") inside the box at [at, end).
void ImageExtent(BoundedReader& r, uint64_t at, uint64_t end, StructuralSize& out) {
    end = std::min(end, at + 256 * 1024);
    for (uint64_t from = at; from < end;) {
        const uint64_t hit = r.Find(from, end, "ispe");
        if (hit == BoundedReader::kNotFound) return;
        uint32_t w = 0, h = 0;
        if (r.Be32(hit + 8, w) && r.Be32(hit + 12, h) && uint64_t(w) * h > uint64_t(out.width) * out.height) {
            out.width = w;
            out.height = h;
        }
        from = hit + 4;
    }
}

// The brand of the file-type box decides the format of the family.
int32_t FamilyOf(const std::string_view brand) {
    if (brand == "M4A " || brand == "M4B " || brand == "M4P ") return format_id::M4a;
    if (brand == "heic" || brand == "heix" || brand == "mif1" || brand == "msf1" || brand == "heim" ||
        brand == "heis" || brand == "hevc" || brand == "avif")
        return format_id::Heif;
    if (brand == "crx ") return format_id::CanonCr3;
    if (brand == "qt  ") return format_id::QuickTime;
    if (brand.starts_with("3g")) return format_id::Mobile3gp;
    return format_id::Mp4;
}
}  // namespace

StructuralSize IsoMediaSize(BoundedReader& r) {
    StructuralSize out;
    uint64_t at = 0;
    bool media = false;
    for (uint32_t n = 0; n < 1000000; ++n) {
        uint32_t size32 = 0;
        uint8_t type[4];
        if (!r.Be32(at, size32) || !r.Read(at + 4, type, 4)) break;
        if (!IsBoxType(type)) break;
        const std::string_view kind(reinterpret_cast<char*>(type), 4);
        if (kind == "ftyp") {
            if (n > 0) break;  // the next file
            uint8_t brand[4];
            if (r.Read(at + 8, brand, 4)) out.formatId = FamilyOf(std::string_view(reinterpret_cast<char*>(brand), 4));
        }
        uint64_t size = size32;
        if (size32 == 1 && !r.Be64(at + 8, size)) break;
        if (size32 == 0) return out;  // runs to the end of a file whose end we do not know
        if (size < 8 || (size32 == 1 && size < 16)) break;
        if (kind == "moov" || kind == "mdat" || kind == "meta" || kind == "moof") media = true;
        if (kind == "meta") ImageExtent(r, at, at + size, out);
        if (!r.Has(at, size)) return out;
        at += size;
    }
    if (at == 0) return StructuralSize::Reject();
    if (!media) return out;
    out.verdict = SizeVerdict::Sized;
    out.size = at;
    return out;
}

}  // namespace vx
