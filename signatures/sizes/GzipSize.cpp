// GZIP: each member inflated to its end and its trailer checked (zlib does
// both); members that follow one another belong to one file.
#include <zlib.h>

#include <array>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace gzip {
inline constexpr uint8_t Deflate = 8;
inline constexpr uint8_t ReservedFlags = 0xE0;
inline constexpr uint64_t MethodOffset = 2, FlagsOffset = 3;
}  // namespace gzip

namespace {
// The length of the member at `at`, or 0 when it does not end cleanly.
uint64_t MemberLength(BoundedReader& r, uint64_t at, uint64_t& damagedAt) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return 0;
    std::array<uint8_t, 32768> sink;
    uint64_t consumed = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        ByteSpan in = r.View(at + consumed, BoundedReader::kMaxView);
        if (in.empty()) break;
        z.next_in = const_cast<Bytef*>(in.data());
        z.avail_in = uInt(in.size());
        do {
            z.next_out = sink.data();
            z.avail_out = uInt(sink.size());
            status = inflate(&z, Z_NO_FLUSH);
        } while (status == Z_OK && z.avail_in > 0);
        consumed += in.size() - z.avail_in;
        if (status == Z_BUF_ERROR) status = Z_OK;  // wants more input
    }
    inflateEnd(&z);
    if (status == Z_STREAM_END) return consumed;
    if (status != Z_OK) damagedAt = consumed;
    return 0;
}

bool MemberHeader(BoundedReader& r, uint64_t at) {
    uint8_t id[2], method = 0, flags = 0;
    return r.Read(at, id, 2) && id[0] == 0x1F && id[1] == 0x8B && r.U8(at + gzip::MethodOffset, method) &&
           method == gzip::Deflate && r.U8(at + gzip::FlagsOffset, flags) && (flags & gzip::ReservedFlags) == 0;
}
}  // namespace

StructuralSize GzipSize(BoundedReader& r) {
    if (!MemberHeader(r, 0)) return r.Has(0, 4) ? StructuralSize::Reject() : StructuralSize::Unknown();
    uint64_t end = 0;
    for (int member = 0; member < 100000; ++member) {
        uint64_t damagedAt = BoundedReader::kNotFound;
        const uint64_t length = MemberLength(r, end, damagedAt);
        // Data that fails within its first sector was never a member.
        if (length == 0) return member == 0 && damagedAt < 512 ? StructuralSize::Reject() : StructuralSize::Unknown();
        end += length;
        if (!MemberHeader(r, end)) break;
    }
    return StructuralSize::Sized(end);
}

}  // namespace vx
