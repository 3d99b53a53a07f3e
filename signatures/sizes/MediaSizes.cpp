// Matroska and WebM, FLAC, ASF and AU.
#include <algorithm>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace {
// An EBML element id or size at `at`: its length in bytes, its value with
// the length marker removed (sizes) or kept (ids).
bool Ebml(BoundedReader& r, uint64_t at, bool keepMarker, uint64_t& value, uint32_t& length, bool& unknown) {
    uint8_t first = 0;
    if (!r.U8(at, first) || first == 0) return false;
    length = 1;
    while (!(first & (0x80 >> (length - 1)))) ++length;
    if (length > 8) return false;
    value = keepMarker ? first : first & (0xFF >> length);
    bool allOnes = (first & (0xFF >> length)) == (0xFF >> length);
    for (uint32_t i = 1; i < length; ++i) {
        uint8_t b = 0;
        if (!r.U8(at + i, b)) return false;
        value = value << 8 | b;
        allOnes = allOnes && b == 0xFF;
    }
    unknown = !keepMarker && allOnes;
    return true;
}
}  // namespace

StructuralSize MatroskaSize(BoundedReader& r) {
    uint64_t at = 0;
    bool segment = false;
    for (int n = 0; n < 64; ++n) {
        uint64_t id = 0, size = 0;
        uint32_t idLength = 0, sizeLength = 0;
        bool unknown = false, ignored = false;
        if (!Ebml(r, at, true, id, idLength, ignored)) break;
        if (id != 0x1A45DFA3 && id != 0x18538067 && id != 0xEC) break;  // header, segment, void
        if (n == 0 && id != 0x1A45DFA3) return StructuralSize::Reject();
        if (!Ebml(r, at + idLength, false, size, sizeLength, unknown)) return n == 0 ? StructuralSize::Reject() : StructuralSize::Unknown();
        if (unknown) return {};  // a live stream's segment: its end is not written down
        if (n == 0 && size > 4096) return StructuralSize::Reject();
        if (id == 0x18538067) segment = true;
        at += idLength + sizeLength + size;
        if (!r.Has(0, at)) return {};
    }
    if (!segment) return {};
    return StructuralSize::Sized(at);
}

StructuralSize FlacSize(BoundedReader& r) {
    // Frames carry no length: only the metadata is checked here.
    uint8_t block = 0;
    if (!r.Equals(0, "fLaC") || !r.U8(4, block)) return StructuralSize::Reject();
    if ((block & 0x7F) != 0) return StructuralSize::Reject();  // STREAMINFO comes first
    return {};
}

namespace asf {
inline constexpr char HeaderGuid[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
inline constexpr char FilePropertiesGuid[] = "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65";
inline constexpr uint64_t FileSizeField = 40;
}  // namespace asf

StructuralSize AsfSize(BoundedReader& r) {
    uint64_t headerSize = 0;
    if (!r.Equals(0, std::string_view(asf::HeaderGuid, 16)) || !r.Le64(16, headerSize)) return StructuralSize::Reject();
    if (headerSize < 30 || headerSize > (16u << 20)) return StructuralSize::Reject();
    // The file properties object inside the header states the file's size.
    uint64_t at = 30;
    while (at + 24 <= headerSize) {
        uint64_t size = 0;
        if (!r.Le64(at + 16, size) || size < 24) return {};
        if (r.Equals(at, std::string_view(asf::FilePropertiesGuid, 16))) {
            uint64_t fileSize = 0;
            if (!r.Le64(at + asf::FileSizeField, fileSize)) return {};
            if (fileSize < headerSize || !r.Has(0, fileSize)) return {};
            return StructuralSize::Sized(fileSize);
        }
        at += size;
    }
    return {};
}

StructuralSize AuSize(BoundedReader& r) {
    uint32_t offset = 0, size = 0;
    if (!r.Equals(0, ".snd") || !r.Be32(4, offset) || !r.Be32(8, size)) return StructuralSize::Reject();
    if (offset < 24 || offset > (1u << 20)) return StructuralSize::Reject();
    if (size == 0xFFFFFFFF) return {};
    const uint64_t end = uint64_t(offset) + size;
    if (!r.Has(0, end)) return {};
    return StructuralSize::Sized(end);
}

}  // namespace vx
