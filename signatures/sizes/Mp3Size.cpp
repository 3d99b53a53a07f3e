// MP3: the ID3v2 tag, the chain of MPEG audio frames (each header gives its
// frame's length), and a closing ID3v1 or APE tag.
#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace {
constexpr int kMinFrames = 4;

// The length of the MPEG audio frame whose header is `h`, or 0.
uint32_t FrameLength(uint32_t h) {
    if ((h & 0xFFE00000) != 0xFFE00000) return 0;
    const uint32_t version = (h >> 19) & 3;  // 0: 2.5, 2: 2, 3: 1
    const uint32_t layer = (h >> 17) & 3;    // 1: III, 2: II, 3: I
    const uint32_t bitrateIndex = (h >> 12) & 15, rateIndex = (h >> 10) & 3, padding = (h >> 9) & 1;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return 0;
    static const uint16_t kBitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const uint32_t kRates[3] = {44100, 48000, 32000};
    const int v1 = version == 3 ? 0 : 1;
    const int l = 3 - int(layer);  // 0: I, 1: II, 2: III
    const uint32_t bitrate = kBitrates[v1][l][bitrateIndex] * 1000u;
    uint32_t rate = kRates[rateIndex];
    if (version == 2) rate /= 2;
    if (version == 0) rate /= 4;
    if (l == 0) return (12 * bitrate / rate + padding) * 4;
    if (l == 2 && v1 == 1) return 72 * bitrate / rate + padding;
    return 144 * bitrate / rate + padding;
}
}  // namespace

StructuralSize Mp3Size(BoundedReader& r) {
    uint64_t at = 0;
    if (r.Equals(0, "ID3")) {
        uint8_t h[10];
        if (!r.Read(0, h, 10)) return {};
        if (h[3] < 2 || h[3] > 4 || (h[6] | h[7] | h[8] | h[9]) & 0x80) return StructuralSize::Reject();
        at = 10 + (uint64_t(h[6]) << 21 | uint64_t(h[7]) << 14 | uint64_t(h[8]) << 7 | h[9]);
        if (h[5] & 0x10) at += 10;  // footer
        // Some writers pad the tag further with zeros.
        uint8_t c = 0;
        for (int i = 0; i < 65536 && r.U8(at, c) && c == 0; ++i) ++at;
    }
    uint32_t frames = 0, first = 0;
    for (; frames < 20000000; ++frames) {
        uint32_t h = 0;
        if (!r.Be32(at, h)) break;
        const uint32_t length = FrameLength(h);
        // Every frame of a file shares the first one's version, layer and rate.
        if (length == 0 || (frames > 0 && (h & 0xFFFE0C00) != (first & 0xFFFE0C00))) break;
        if (frames == 0) first = h;
        if (!r.Has(at, length)) return {};
        at += length;
    }
    if (frames < kMinFrames) return frames == 0 && at == 0 ? StructuralSize::Reject() : StructuralSize::Unknown();
    if (r.Equals(at, "APETAGEX")) {
        uint32_t size = 0;
        if (r.Le32(at + 12, size) && r.Has(at, 32 + uint64_t(size))) at += 32 + uint64_t(size);
    }
    if (r.Equals(at, "TAG") && r.Has(at, 128)) at += 128;
    return StructuralSize::Sized(at);
}

}  // namespace vx
