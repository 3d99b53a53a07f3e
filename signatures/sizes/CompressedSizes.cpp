// BZIP2, XZ and Zstandard streams.
#include <zlib.h>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace {
constexpr uint64_t kBzipEndMagic = 0x177245385090ull;  // 48 bits, at any bit position
constexpr uint64_t kMask48 = (1ull << 48) - 1;

// The byte length of the bzip2 stream at `at` (to the byte after its CRC), or 0.
uint64_t Bzip2Stream(BoundedReader& r, uint64_t at) {
    uint8_t level = 0;
    if (!r.Equals(at, "BZh") || !r.U8(at + 3, level) || level < '1' || level > '9') return 0;
    if (!r.Equals(at + 4, std::string_view("\x31\x41\x59\x26\x53\x59", 6)) &&
        !r.Equals(at + 4, std::string_view("\x17\x72\x45\x38\x50\x90", 6)))
        return 0;
    uint64_t window = 0, offset = at + 4;
    for (;;) {
        ByteSpan v = r.View(offset, BoundedReader::kMaxView);
        if (v.empty()) return 0;
        for (size_t i = 0; i < v.size(); ++i) {
            window = window << 8 | v[i];
            // The marker's last bit lies in this byte at one of 8 positions.
            for (int shift = 0; shift < 8; ++shift) {
                if (((window >> shift) & kMask48) != kBzipEndMagic) continue;
                const uint64_t bitEnd = (offset + i + 1) * 8 - shift;  // bit after the marker
                if (bitEnd < (at + 4) * 8 + 48) continue;
                return (bitEnd + 32 + 7) / 8;
            }
        }
        offset += v.size();
    }
}
}  // namespace

StructuralSize Bzip2Size(BoundedReader& r) {
    uint64_t end = Bzip2Stream(r, 0);
    if (end == 0) return r.Has(0, 10) && !r.Equals(0, "BZh") ? StructuralSize::Reject() : StructuralSize::Unknown();
    // Streams written one after another (parallel compressors) make one file.
    for (int n = 0; n < 100000; ++n) {
        const uint64_t next = Bzip2Stream(r, end);
        if (next == 0) break;
        end = next;
    }
    return StructuralSize::Sized(end);
}

namespace xz {
inline constexpr uint64_t HeaderSize = 12, FooterSize = 12;
}  // namespace xz

StructuralSize XzSize(BoundedReader& r) {
    uint8_t header[xz::HeaderSize];
    if (!r.Read(0, header, sizeof header)) return {};
    if (std::string_view(reinterpret_cast<char*>(header), 6) != std::string_view("\xFD" "7zXZ\0", 6))
        return StructuralSize::Reject();
    const uint32_t crc = uint32_t(crc32(0, header + 6, 2));
    if (crc != le32(ByteSpan(header, sizeof header), 8)) return StructuralSize::Reject();
    // The stream footer repeats the header's flags before its "YZ"; its CRC
    // covers the backward size and the flags.
    const std::string_view magic("YZ", 2);
    for (uint64_t from = xz::HeaderSize + 10; from < r.Limit();) {
        const uint64_t hit = r.Find(from, r.Limit(), magic);
        if (hit == BoundedReader::kNotFound) return {};
        uint8_t footer[xz::FooterSize];
        if (hit >= 10 && r.Read(hit - 10, footer, sizeof footer) && footer[8] == header[6] && footer[9] == header[7] &&
            uint32_t(crc32(0, footer + 4, 6)) == le32(ByteSpan(footer, sizeof footer), 0) && (hit + 2) % 4 == 0) {
            return StructuralSize::Sized(hit + 2);
        }
        from = hit + 1;
    }
    return {};
}

namespace {
// The length of the Zstandard frame at `at`, or 0.
uint64_t ZstdFrame(BoundedReader& r, uint64_t at, bool& damaged) {
    uint32_t magic = 0;
    if (!r.Le32(at, magic)) return 0;
    if ((magic & 0xFFFFFFF0) == 0x184D2A50) {  // a skippable frame
        uint32_t size = 0;
        if (!r.Le32(at + 4, size)) return 0;
        return 8 + uint64_t(size);
    }
    if (magic != 0xFD2FB528) return 0;
    uint8_t descriptor = 0;
    if (!r.U8(at + 4, descriptor)) return 0;
    if (descriptor & 0x08) {
        damaged = true;
        return 0;
    }
    const bool single = descriptor & 0x20, checksum = descriptor & 0x04;
    static const uint8_t kDictionary[4] = {0, 1, 2, 4};
    static const uint8_t kContentSize[4] = {0, 2, 4, 8};
    uint64_t cursor = at + 5 + (single ? 0 : 1) + kDictionary[descriptor & 3];
    const uint8_t fcs = kContentSize[descriptor >> 6];
    cursor += fcs ? fcs : (single ? 1 : 0);
    for (uint32_t n = 0; n < 50000000; ++n) {
        uint8_t b[3];
        if (!r.Read(cursor, b, 3)) return 0;
        const uint32_t h = b[0] | b[1] << 8 | b[2] << 16;
        const uint32_t type = (h >> 1) & 3, size = h >> 3;
        if (type == 3 || size > (128u << 10)) {
            damaged = true;
            return 0;
        }
        cursor += 3 + (type == 1 ? 1 : size);
        if (h & 1) return cursor + (checksum ? 4 : 0) - at;
    }
    return 0;
}
}  // namespace

StructuralSize ZstdSize(BoundedReader& r) {
    uint64_t end = 0;
    for (int n = 0; n < 100000; ++n) {
        bool damaged = false;
        const uint64_t length = ZstdFrame(r, end, damaged);
        if (length == 0) {
            if (n == 0) return damaged ? StructuralSize::Reject() : StructuralSize::Unknown();
            break;
        }
        end += length;
    }
    if (!r.Has(0, end)) return {};
    return StructuralSize::Sized(end);
}

}  // namespace vx
