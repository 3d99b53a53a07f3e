// TIFF and the camera raws built on it (DNG, NEF, PEF, ARW, CR2): the chain
// of image directories and their sub-directories walked; the file reaches to
// the end of the farthest directory, value, strip or tile.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "signatures/FormatIds.h"
#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace tiff {
inline constexpr uint16_t ImageWidth = 256, ImageLength = 257, Make = 271, StripOffsets = 273,
                          StripByteCounts = 279, SubIfds = 330, TileOffsets = 324, TileByteCounts = 325,
                          JpegOffset = 513, JpegLength = 514, ExifIfd = 34665, GpsIfd = 34853,
                          InteropIfd = 40965, DngVersion = 50706;
inline constexpr size_t MaxDirectories = 64;
inline constexpr uint16_t MaxEntries = 4096;
inline constexpr uint32_t MaxValues = 1u << 20;
}  // namespace tiff

namespace {
uint32_t TypeSize(uint16_t type) {
    switch (type) {
        case 1: case 2: case 6: case 7: return 1;
        case 3: case 8: return 2;
        case 4: case 9: case 11: case 13: return 4;
        case 5: case 10: case 12: return 8;
        default: return 0;
    }
}

class Walker {
public:
    Walker(BoundedReader& r, bool big) : r_(r), big_(big) {}

    bool U16(uint64_t at, uint16_t& v) { return big_ ? r_.Be16(at, v) : r_.Le16(at, v); }
    bool U32(uint64_t at, uint32_t& v) { return big_ ? r_.Be32(at, v) : r_.Le32(at, v); }

    // The values of an entry as 32-bit numbers (SHORT or LONG).
    bool Values(uint64_t entry, uint16_t type, uint32_t count, std::vector<uint32_t>& out) {
        out.clear();
        if (count > tiff::MaxValues || (type != 3 && type != 4 && type != 13)) return false;
        const uint32_t width = type == 3 ? 2 : 4;
        uint64_t at = entry + 8;
        if (uint64_t(count) * width > 4) {
            uint32_t offset = 0;
            if (!U32(entry + 8, offset)) return false;
            at = offset;
        }
        out.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t v = 0;
            if (width == 2) {
                uint16_t s = 0;
                if (!U16(at + 2ull * i, s)) return false;
                v = s;
            } else if (!U32(at + 4ull * i, v)) {
                return false;
            }
            out.push_back(v);
        }
        return true;
    }

    // Walks the directory at `at`; false when it is damaged.
    bool Directory(uint64_t at, std::vector<uint64_t>& pending) {
        uint16_t count = 0;
        if (at < 8 || !U16(at, count) || count == 0 || count > tiff::MaxEntries) return false;
        Reach(at + 2 + 12ull * count + 4);
        std::vector<uint32_t> offsets, counts, tileOffsets, tileCounts, values;
        uint32_t jpegOffset = 0, jpegLength = 0, width = 0, height = 0;
        for (uint16_t i = 0; i < count; ++i) {
            const uint64_t entry = at + 2 + 12ull * i;
            uint16_t tag = 0, type = 0;
            uint32_t n = 0, value = 0;
            if (!U16(entry, tag) || !U16(entry + 2, type) || !U32(entry + 4, n) || !U32(entry + 8, value))
                return false;
            const uint32_t unit = TypeSize(type);
            if (unit == 0) continue;  // an unknown type: nothing to reach
            const uint64_t bytes = uint64_t(unit) * n;
            if (bytes > 4) Reach(uint64_t(value) + bytes);
            uint32_t first = value;
            if (type == 3 && bytes <= 4) {
                uint16_t s = 0;
                U16(entry + 8, s);
                first = s;
            }
            switch (tag) {
                case tiff::ImageWidth: width = first; break;
                case tiff::ImageLength: height = first; break;
                case tiff::StripOffsets: Values(entry, type, n, offsets); break;
                case tiff::StripByteCounts: Values(entry, type, n, counts); break;
                case tiff::TileOffsets: Values(entry, type, n, tileOffsets); break;
                case tiff::TileByteCounts: Values(entry, type, n, tileCounts); break;
                case tiff::JpegOffset: jpegOffset = first; break;
                case tiff::JpegLength: jpegLength = first; break;
                case tiff::DngVersion: dng_ = true; break;
                case tiff::Make:
                    if (make_.empty() && type == 2) {
                        uint8_t text[16] = {};
                        const uint64_t where = bytes > 4 ? value : entry + 8;
                        const size_t len = size_t(std::min<uint64_t>(bytes, sizeof text));
                        if (r_.Read(where, text, len)) make_.assign(reinterpret_cast<char*>(text), strnlen(reinterpret_cast<char*>(text), len));
                    }
                    break;
                case tiff::SubIfds:
                case tiff::ExifIfd:
                case tiff::GpsIfd:
                case tiff::InteropIfd:
                    if (Values(entry, type, n, values))
                        for (uint32_t v : values) pending.push_back(v);
                    break;
                default: break;
            }
        }
        for (size_t i = 0; i < std::min(offsets.size(), counts.size()); ++i) Reach(uint64_t(offsets[i]) + counts[i]);
        for (size_t i = 0; i < std::min(tileOffsets.size(), tileCounts.size()); ++i)
            Reach(uint64_t(tileOffsets[i]) + tileCounts[i]);
        if (jpegOffset && jpegLength) Reach(uint64_t(jpegOffset) + jpegLength);
        if (uint64_t(width) * height > uint64_t(width_) * height_) {
            width_ = width;
            height_ = height;
        }
        uint32_t next = 0;
        if (!U32(at + 2 + 12ull * count, next)) return false;
        if (next) pending.push_back(next);
        return true;
    }

    void Reach(uint64_t end) { end_ = std::max(end_, end); }

    BoundedReader& r_;
    bool big_;
    uint64_t end_ = 8;
    uint32_t width_ = 0, height_ = 0;
    bool dng_ = false;
    std::string make_;
};

int32_t FamilyOf(const Walker& w, BoundedReader& r) {
    if (w.dng_) return format_id::Dng;
    const std::string& make = w.make_;
    if (make.starts_with("NIKON")) return format_id::NikonRaw;
    if (make.starts_with("PENTAX") || make.starts_with("RICOH")) return format_id::PentaxRaw;
    if (make.starts_with("SONY")) return format_id::SonyArw;
    if (make.starts_with("Canon") && r.Equals(8, "CR")) return format_id::CanonRaw;
    return format_id::Tiff;
}
}  // namespace

StructuralSize TiffSize(BoundedReader& r) {
    bool big = false;
    if (r.Equals(0, std::string_view("MM\x00\x2A", 4))) big = true;
    else if (!r.Equals(0, std::string_view("II\x2A\x00", 4))) return StructuralSize::Reject();
    Walker w(r, big);
    uint32_t first = 0;
    if (!w.U32(4, first)) return {};
    std::vector<uint64_t> pending{first}, seen;
    bool any = false;
    while (!pending.empty() && seen.size() < tiff::MaxDirectories) {
        const uint64_t at = pending.back();
        pending.pop_back();
        if (std::find(seen.begin(), seen.end(), at) != seen.end()) continue;
        seen.push_back(at);
        if (!w.Directory(at, pending)) {
            if (!any) return r.Has(0, 4096) ? StructuralSize::Reject() : StructuralSize::Unknown();
            return {};  // a damaged directory: its reach is not known
        }
        any = true;
    }
    StructuralSize out;
    out.width = w.width_;
    out.height = w.height_;
    out.formatId = FamilyOf(w, r);
    if (!r.Has(0, w.end_)) return out;
    out.verdict = SizeVerdict::Sized;
    out.size = w.end_;
    return out;
}

}  // namespace vx
