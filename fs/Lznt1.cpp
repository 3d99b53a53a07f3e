#include "fs/Lznt1.h"

#include <algorithm>
#include <cstring>

#include "fs/NtfsLayout.h"

namespace vx {

namespace {

// Expands one compressed chunk body into out[0, limit). Returns the bytes
// produced or -1 when a back reference points before the chunk.
int64_t ExpandChunk(ByteSpan body, uint8_t* out, size_t limit) {
    size_t in = 0, pos = 0;
    while (in < body.size() && pos < limit) {
        const uint8_t flags = body[in++];
        for (int bit = 0; bit < 8 && in < body.size() && pos < limit; ++bit) {
            if ((flags & (1u << bit)) == 0) {
                out[pos++] = body[in++];
                continue;
            }
            if (in + 2 > body.size()) return -1;
            const uint16_t token = uint16_t(body[in] | (body[in + 1] << 8));
            in += 2;
            // The offset takes as many bits as the position needs (at least 4).
            uint32_t lengthBits = 12;
            for (size_t p = pos - 1; pos > 0 && p >= 0x10; p >>= 1) --lengthBits;
            const size_t back = size_t(token >> lengthBits) + 1;
            size_t length = size_t(token & ((1u << lengthBits) - 1)) + 3;
            if (back > pos) return -1;
            if (length > limit - pos) length = limit - pos;
            // Byte by byte: a reference may overlap the bytes it produces.
            for (size_t i = 0; i < length; ++i, ++pos) out[pos] = out[pos - back];
        }
    }
    return int64_t(pos);
}

}  // namespace

int64_t Lznt1Decompress(ByteSpan in, uint8_t* out, size_t outSize) {
    size_t inPos = 0, outPos = 0;
    while (inPos + 2 <= in.size() && outPos < outSize) {
        const uint16_t header = le16(in, inPos);
        if (header == 0) break;
        const size_t stored = size_t(header & 0x0FFF) + 1;  // bytes after the header
        inPos += 2;
        if (stored > in.size() - inPos) return -1;
        ByteSpan body = in.subspan(inPos, stored);
        const size_t limit = std::min<size_t>(ntfs::kLznt1ChunkSize, outSize - outPos);
        size_t got;
        if (header & 0x8000) {
            int64_t n = ExpandChunk(body, out + outPos, limit);
            if (n < 0) return -1;
            got = size_t(n);
        } else {
            got = std::min(body.size(), limit);
            std::memcpy(out + outPos, body.data(), got);
        }
        // Every chunk stands for 4 KiB of the file: what it does not produce is zeros.
        std::memset(out + outPos + got, 0, limit - got);
        outPos += limit;
        inPos += stored;
    }
    return int64_t(outPos);
}

}  // namespace vx
