// RIFF (WAV, AVI, WebP, CorelDraw): the form's own size, its chunks walked to
// check it; an AVI's OpenDML extension forms that follow are added.
#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace {
bool IsFourCc(const uint8_t* t) {
    for (int i = 0; i < 4; ++i)
        if (t[i] < 0x20 || t[i] > 0x7E) return false;
    return true;
}

// Walks the chunks of the form at `at` to its end; false when one leaves it.
bool ChunksFit(BoundedReader& r, uint64_t at, uint64_t end) {
    for (uint32_t n = 0; at + 8 <= end && n < 100000; ++n) {
        uint8_t id[4];
        uint32_t length = 0;
        if (!r.Read(at, id, 4) || !r.Le32(at + 4, length)) return false;
        if (!IsFourCc(id)) return false;
        at += 8 + uint64_t(length) + (length & 1);
    }
    // A writer may leave the last chunk's pad byte out of the form.
    return at <= end + 1;
}

void WebPDimensions(BoundedReader& r, StructuralSize& out) {
    uint8_t v[10];
    if (!r.Read(12, v, 4)) return;
    const std::string_view kind(reinterpret_cast<char*>(v), 4);
    if (kind == "VP8X" && r.Read(24, v, 6)) {
        out.width = 1 + (v[0] | v[1] << 8 | v[2] << 16);
        out.height = 1 + (v[3] | v[4] << 8 | v[5] << 16);
    } else if (kind == "VP8 " && r.Read(20, v, 10) && v[3] == 0x9D && v[4] == 0x01 && v[5] == 0x2A) {
        out.width = (v[6] | v[7] << 8) & 0x3FFF;
        out.height = (v[8] | v[9] << 8) & 0x3FFF;
    } else if (kind == "VP8L" && r.Read(20, v, 5) && v[0] == 0x2F) {
        const uint32_t bits = v[1] | v[2] << 8 | v[3] << 16 | uint32_t(v[4]) << 24;
        out.width = 1 + (bits & 0x3FFF);
        out.height = 1 + ((bits >> 14) & 0x3FFF);
    }
}
}  // namespace

StructuralSize RiffSize(BoundedReader& r) {
    uint32_t length = 0;
    uint8_t form[4];
    if (!r.Equals(0, "RIFF") || !r.Le32(4, length) || !r.Read(8, form, 4)) return StructuralSize::Unknown();
    if (!IsFourCc(form) || length < 4) return StructuralSize::Reject();
    StructuralSize out;
    if (std::string_view(reinterpret_cast<char*>(form), 4) == "WEBP") WebPDimensions(r, out);
    uint64_t end = 8 + uint64_t(length);
    if (!r.Has(0, end)) return out;
    if (!ChunksFit(r, 12, end)) return out;
    // AVI files past 1 GiB go on in further "AVIX" forms.
    for (int extra = 0; extra < 4096; ++extra) {
        uint32_t more = 0;
        if (!r.Equals(end, "RIFF") || !r.Equals(end + 8, "AVIX") || !r.Le32(end + 4, more)) break;
        if (!r.Has(end, 8 + uint64_t(more))) return out;
        end += 8 + uint64_t(more);
    }
    out.verdict = SizeVerdict::Sized;
    out.size = end;
    return out;
}

}  // namespace vx
