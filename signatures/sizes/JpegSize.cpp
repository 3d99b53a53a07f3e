// JPEG: the marker segments to the first scan, then the entropy-coded data
// to the next marker, and so on to the end-of-image marker. Segments carry
// their length, so thumbnails inside APP segments are stepped over whole.
#include <cstring>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace {
constexpr uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kTem = 0x01;

bool IsRestart(uint8_t m) { return m >= 0xD0 && m <= 0xD7; }
bool IsFrame(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// The offset of the first marker after entropy-coded data from `at`: an FF
// followed by neither a stuffed zero, a restart marker nor a fill byte.
uint64_t NextMarker(BoundedReader& r, uint64_t at) {
    for (;;) {
        ByteSpan view = r.View(at, BoundedReader::kMaxView);
        if (view.size() < 2) return BoundedReader::kNotFound;
        const uint8_t* base = view.data();
        size_t i = 0;
        while (i + 1 < view.size()) {
            const void* hit = std::memchr(base + i, 0xFF, view.size() - 1 - i);
            if (!hit) {
                i = view.size() - 1;
                break;
            }
            i = size_t(static_cast<const uint8_t*>(hit) - base);
            const uint8_t next = base[i + 1];
            if (next == 0x00 || IsRestart(next) || next == 0xFF) {
                ++i;
                continue;
            }
            return at + i;
        }
        at += i;
    }
}
}  // namespace

StructuralSize JpegSize(BoundedReader& r) {
    uint8_t b0 = 0, b1 = 0;
    if (!r.U8(0, b0) || !r.U8(1, b1)) return StructuralSize::Unknown();
    if (b0 != 0xFF || b1 != kSoi) return StructuralSize::Reject();
    StructuralSize out;
    bool scanned = false, framed = false;
    uint64_t at = 2;
    for (int segments = 0; segments < 100000; ++segments) {
        uint8_t ff = 0, marker = 0;
        if (!r.U8(at, ff)) return out;
        if (ff != 0xFF) return scanned ? out : StructuralSize::Reject();
        // Fill bytes before a marker.
        uint64_t m = at + 1;
        do {
            if (!r.U8(m, marker)) return out;
            ++m;
        } while (marker == 0xFF && m - at < 64);
        if (marker == kEoi) {
            if (!scanned) return StructuralSize::Reject();
            out.verdict = SizeVerdict::Sized;
            out.size = m + 0;
            return out;
        }
        if (marker == kSoi || marker == 0x00 || marker == 0xFF) return scanned ? out : StructuralSize::Reject();
        if (IsRestart(marker) || marker == kTem) {
            at = m;
            continue;
        }
        uint16_t length = 0;
        if (!r.Be16(m, length)) return out;
        if (length < 2) return scanned ? out : StructuralSize::Reject();
        if (IsFrame(marker) && !framed) {
            uint16_t height = 0, width = 0;
            if (!r.Be16(m + 3, height) || !r.Be16(m + 5, width)) return out;
            if (width == 0) return scanned ? out : StructuralSize::Reject();
            out.width = width;
            out.height = height;
            framed = true;
        }
        at = m + length;
        if (marker == kSos) {
            if (!framed) return StructuralSize::Reject();
            scanned = true;
            at = NextMarker(r, at);
            if (at == BoundedReader::kNotFound) return out;
        }
    }
    return out;
}

}  // namespace vx
