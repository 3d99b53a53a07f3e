// PNG: the chunk walk from IHDR to IEND, every chunk's CRC checked.
#include <zlib.h>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace {
constexpr char kSignature[] = "\x89PNG\r\n\x1A\n";
constexpr uint32_t kMaxChunk = 0x7FFFFFFF;

bool IsChunkType(const uint8_t* t) {
    for (int i = 0; i < 4; ++i)
        if (!((t[i] >= 'A' && t[i] <= 'Z') || (t[i] >= 'a' && t[i] <= 'z'))) return false;
    return true;
}

// The CRC of a chunk's type and data at `at` (the type's offset).
bool ChunkCrc(BoundedReader& r, uint64_t at, uint64_t length, uint32_t& crc) {
    uLong c = crc32(0, nullptr, 0);
    while (length > 0) {
        ByteSpan part = r.View(at, size_t(std::min<uint64_t>(length, BoundedReader::kMaxView)));
        if (part.empty()) return false;
        c = crc32(c, part.data(), uInt(part.size()));
        at += part.size();
        length -= part.size();
    }
    crc = uint32_t(c);
    return true;
}
}  // namespace

StructuralSize PngSize(BoundedReader& r) {
    if (!r.Equals(0, std::string_view(kSignature, 8))) return StructuralSize::Reject();
    StructuralSize out;
    uint64_t at = 8;
    for (uint32_t chunk = 0; chunk < 1000000; ++chunk) {
        uint32_t length = 0;
        uint8_t type[4];
        if (!r.Be32(at, length) || !r.Read(at + 4, type, 4)) return out;
        const bool damaged = length > kMaxChunk || !IsChunkType(type);
        if (chunk == 0) {
            if (damaged || length != 13 || std::string_view(reinterpret_cast<char*>(type), 4) != "IHDR")
                return StructuralSize::Reject();
            uint32_t width = 0, height = 0;
            if (!r.Be32(at + 8, width) || !r.Be32(at + 12, height)) return out;
            if (width == 0 || height == 0) return StructuralSize::Reject();
            out.width = width;
            out.height = height;
        }
        if (damaged) return out;
        uint32_t stored = 0, computed = 0;
        if (!r.Be32(at + 8 + length, stored) || !ChunkCrc(r, at + 4, uint64_t(length) + 4, computed)) return out;
        if (stored != computed) return chunk == 0 ? StructuralSize::Reject() : out;
        at += 12 + uint64_t(length);
        if (std::string_view(reinterpret_cast<char*>(type), 4) == "IEND") {
            out.verdict = SizeVerdict::Sized;
            out.size = at;
            return out;
        }
    }
    return out;
}

}  // namespace vx
