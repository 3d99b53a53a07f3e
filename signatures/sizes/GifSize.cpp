// GIF: the screen descriptor and its colour table, then extension and image
// blocks with their sub-blocks, to the trailer.
#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace {
constexpr uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;

// Steps over a chain of sub-blocks; the offset after its terminator, or kNotFound.
uint64_t SkipSubBlocks(BoundedReader& r, uint64_t at) {
    for (;;) {
        uint8_t n = 0;
        if (!r.U8(at, n)) return BoundedReader::kNotFound;
        ++at;
        if (n == 0) return at;
        at += n;
    }
}
}  // namespace

StructuralSize GifSize(BoundedReader& r) {
    if (!r.Equals(0, "GIF87a") && !r.Equals(0, "GIF89a")) return StructuralSize::Reject();
    uint16_t width = 0, height = 0;
    uint8_t flags = 0;
    if (!r.Le16(6, width) || !r.Le16(8, height) || !r.U8(10, flags)) return {};
    StructuralSize out;
    out.width = width;
    out.height = height;
    uint64_t at = 13;
    if (flags & 0x80) at += 3u << ((flags & 7) + 1);
    bool first = true;
    for (uint32_t block = 0; block < 10000000; ++block) {
        uint8_t kind = 0;
        if (!r.U8(at, kind)) return out;
        if (kind == kTrailer) {
            if (first) return StructuralSize::Reject();
            out.verdict = SizeVerdict::Sized;
            out.size = at + 1;
            return out;
        }
        if (kind == kExtension) {
            at = SkipSubBlocks(r, at + 2);
        } else if (kind == kImage) {
            uint8_t imageFlags = 0;
            if (!r.U8(at + 9, imageFlags)) return out;
            at += 10;
            if (imageFlags & 0x80) at += 3u << ((imageFlags & 7) + 1);
            at = SkipSubBlocks(r, at + 1);  // after the LZW code size
        } else {
            return first ? StructuralSize::Reject() : out;
        }
        if (at == BoundedReader::kNotFound) return out;
        first = false;
    }
    return out;
}

}  // namespace vx
