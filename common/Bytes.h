#pragma once
// Little-endian field readers over raw buffers read from a source.
// Every read is bounds-checked: a field that would lie outside the buffer
// reads as zero and never touches memory past the end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace vx {

using ByteSpan = std::span<const uint8_t>;

inline bool InRange(ByteSpan b, size_t offset, size_t width) {
    return offset <= b.size() && width <= b.size() - offset;
}

inline uint8_t le8(ByteSpan b, size_t offset) {
    return InRange(b, offset, 1) ? b[offset] : 0;
}

inline uint16_t le16(ByteSpan b, size_t offset) {
    if (!InRange(b, offset, 2)) return 0;
    return static_cast<uint16_t>(b[offset] | (b[offset + 1] << 8));
}

inline uint32_t le32(ByteSpan b, size_t offset) {
    if (!InRange(b, offset, 4)) return 0;
    return static_cast<uint32_t>(b[offset]) | (static_cast<uint32_t>(b[offset + 1]) << 8) |
           (static_cast<uint32_t>(b[offset + 2]) << 16) | (static_cast<uint32_t>(b[offset + 3]) << 24);
}

inline uint64_t le64(ByteSpan b, size_t offset) {
    if (!InRange(b, offset, 8)) return 0;
    return static_cast<uint64_t>(le32(b, offset)) | (static_cast<uint64_t>(le32(b, offset + 4)) << 32);
}

inline void put16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void put32(uint8_t* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i)); }
inline void put64(uint8_t* p, uint64_t v) { for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i)); }

inline ByteSpan AsBytes(const void* p, size_t n) { return {static_cast<const uint8_t*>(p), n}; }

}  // namespace vx
