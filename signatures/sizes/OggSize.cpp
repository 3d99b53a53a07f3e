// OGG: pages walked by their segment tables until every logical stream that
// began has ended (its end-of-stream page).
#include <set>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace ogg {
inline constexpr uint64_t Version = 4, HeaderType = 5, Serial = 14, SegmentCount = 26, HeaderSize = 27;
inline constexpr uint8_t BeginOfStream = 0x02, EndOfStream = 0x04;
}  // namespace ogg

StructuralSize OggSize(BoundedReader& r) {
    std::set<uint32_t> open;
    uint64_t at = 0;
    for (uint32_t page = 0; page < 50000000; ++page) {
        uint8_t version = 0, type = 0, segments = 0;
        uint32_t serial = 0;
        if (!r.Equals(at, "OggS")) return page == 0 ? StructuralSize::Reject() : StructuralSize::Unknown();
        if (!r.U8(at + ogg::Version, version) || !r.U8(at + ogg::HeaderType, type) ||
            !r.Le32(at + ogg::Serial, serial) || !r.U8(at + ogg::SegmentCount, segments))
            return {};
        if (version != 0) return page == 0 ? StructuralSize::Reject() : StructuralSize::Unknown();
        uint8_t table[255];
        if (!r.Read(at + ogg::HeaderSize, table, segments)) return {};
        uint64_t body = 0;
        for (int i = 0; i < segments; ++i) body += table[i];
        if (type & ogg::BeginOfStream) open.insert(serial);
        else if (!open.count(serial)) return page == 0 ? StructuralSize::Reject() : StructuralSize::Unknown();
        at += ogg::HeaderSize + segments + body;
        if (type & ogg::EndOfStream) {
            open.erase(serial);
            if (open.empty()) return StructuralSize::Sized(at);
        }
    }
    return {};
}

}  // namespace vx
