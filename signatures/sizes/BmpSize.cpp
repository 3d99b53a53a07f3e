// BMP: the file size in the file header, checked against the bitmap header's
// geometry.
#include <cstdlib>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace bmp {
inline constexpr uint64_t FileSize = 2;      // 32 bits
inline constexpr uint64_t PixelOffset = 10;  // 32 bits
inline constexpr uint64_t HeaderSize = 14;   // 32 bits: which bitmap header follows
inline constexpr uint64_t CoreWidth = 18;    // 16 bits, in the 12-byte header
inline constexpr uint64_t CoreHeight = 20;
inline constexpr uint64_t Width = 18;        // 32 bits, signed, in the longer headers
inline constexpr uint64_t Height = 22;
inline constexpr uint64_t BitCount = 28;     // 16 bits
}  // namespace bmp

StructuralSize BmpSize(BoundedReader& r) {
    uint32_t fileSize = 0, pixels = 0, header = 0;
    if (!r.Equals(0, "BM") || !r.Le32(bmp::FileSize, fileSize) || !r.Le32(bmp::PixelOffset, pixels) ||
        !r.Le32(bmp::HeaderSize, header))
        return StructuralSize::Reject();
    if (header != 12 && header != 16 && header != 40 && header != 52 && header != 56 && header != 64 &&
        header != 108 && header != 124)
        return StructuralSize::Reject();
    if (pixels < 14 + header || pixels > fileSize) return StructuralSize::Reject();
    StructuralSize out;
    uint16_t bits = 0;
    if (header == 12) {
        uint16_t w = 0, h = 0;
        if (!r.Le16(bmp::CoreWidth, w) || !r.Le16(bmp::CoreHeight, h) || !r.Le16(24, bits)) return {};
        out.width = w;
        out.height = h;
    } else {
        uint32_t w = 0, h = 0;
        if (!r.Le32(bmp::Width, w) || !r.Le32(bmp::Height, h) || !r.Le16(bmp::BitCount, bits)) return {};
        if (int32_t(w) <= 0) return StructuralSize::Reject();
        out.width = w;
        out.height = uint32_t(std::abs(int64_t(int32_t(h))));
    }
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32 && bits != 0)
        return StructuralSize::Reject();
    // Uncompressed pixel rows must fit inside the stated size.
    const uint64_t row = (uint64_t(out.width) * bits + 31) / 32 * 4;
    if (bits != 0 && header != 12) {
        uint32_t compression = 0;
        if (!r.Le32(30, compression)) return {};
        if (compression == 0 && pixels + row * out.height > fileSize) return StructuralSize::Reject();
    }
    out.verdict = SizeVerdict::Sized;
    out.size = fileSize;
    return out;
}

}  // namespace vx
