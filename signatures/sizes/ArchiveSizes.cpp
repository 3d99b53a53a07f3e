// 7Z, RAR and TAR archives.
#include <zlib.h>

#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace sevenzip {
inline constexpr uint64_t StartHeaderCrc = 8, NextHeaderOffset = 12, NextHeaderSize = 20, StartHeaderSize = 32;
}  // namespace sevenzip

StructuralSize SevenZipSize(BoundedReader& r) {
    uint8_t header[sevenzip::StartHeaderSize];
    if (!r.Read(0, header, sizeof header)) return {};
    if (std::string_view(reinterpret_cast<char*>(header), 6) != std::string_view("7z\xBC\xAF\x27\x1C", 6))
        return StructuralSize::Reject();
    const ByteSpan h(header, sizeof header);
    const uint32_t crc = uint32_t(crc32(0, header + sevenzip::NextHeaderOffset, 20));
    if (crc != le32(h, sevenzip::StartHeaderCrc)) return StructuralSize::Reject();
    const uint64_t offset = le64(h, sevenzip::NextHeaderOffset), size = le64(h, sevenzip::NextHeaderSize);
    if (offset > (1ull << 48) || size > (1ull << 32)) return StructuralSize::Reject();
    const uint64_t end = sevenzip::StartHeaderSize + offset + size;
    if (!r.Has(0, end)) return {};
    return StructuralSize::Sized(end);
}

namespace {
// A RAR 5 variable-length number at `at`; its length in `used`.
bool Vint(BoundedReader& r, uint64_t at, uint64_t& value, uint64_t& used) {
    value = 0;
    for (used = 0; used < 10; ++used) {
        uint8_t b = 0;
        if (!r.U8(at + used, b)) return false;
        value |= uint64_t(b & 0x7F) << (7 * used);
        if (!(b & 0x80)) {
            ++used;
            return true;
        }
    }
    return false;
}

StructuralSize Rar5Size(BoundedReader& r) {
    uint64_t at = 8;
    for (uint32_t n = 0; n < 10000000; ++n) {
        uint64_t headerSize = 0, used = 0, type = 0, typeUsed = 0, flags = 0, flagsUsed = 0;
        if (!Vint(r, at + 4, headerSize, used) || headerSize == 0 || headerSize > (2u << 20)) return {};
        const uint64_t fields = at + 4 + used;
        if (!Vint(r, fields, type, typeUsed) || !Vint(r, fields + typeUsed, flags, flagsUsed)) return {};
        uint64_t dataSize = 0;
        uint64_t cursor = fields + typeUsed + flagsUsed;
        if (flags & 1) {
            uint64_t extra = 0, u = 0;
            if (!Vint(r, cursor, extra, u)) return {};
            cursor += u;
        }
        if (flags & 2) {
            uint64_t u = 0;
            if (!Vint(r, cursor, dataSize, u)) return {};
        }
        if (type == 0 || type > 5) return n == 0 ? StructuralSize::Reject() : StructuralSize::Unknown();
        at = fields + headerSize + dataSize;
        if (type == 5) return r.Has(0, at) ? StructuralSize::Sized(at) : StructuralSize::Unknown();
    }
    return {};
}

StructuralSize Rar4Size(BoundedReader& r) {
    uint64_t at = 7;
    for (uint32_t n = 0; n < 10000000; ++n) {
        uint8_t type = 0;
        uint16_t flags = 0, size = 0;
        if (!r.U8(at + 2, type) || !r.Le16(at + 3, flags) || !r.Le16(at + 5, size)) return {};
        if (type < 0x72 || type > 0x7B || size < 7) return n == 0 ? StructuralSize::Reject() : StructuralSize::Unknown();
        uint64_t add = 0;
        if ((flags & 0x8000) || type == 0x74) {
            uint32_t a = 0;
            if (!r.Le32(at + 7, a)) return {};
            add = a;
        }
        at += size + add;
        if (type == 0x7B) return r.Has(0, at) ? StructuralSize::Sized(at) : StructuralSize::Unknown();
    }
    return {};
}
}  // namespace

StructuralSize RarSize(BoundedReader& r) {
    if (r.Equals(0, std::string_view("Rar!\x1A\x07\x01\x00", 8))) return Rar5Size(r);
    if (r.Equals(0, std::string_view("Rar!\x1A\x07\x00", 7))) return Rar4Size(r);
    return StructuralSize::Reject();
}

namespace tar {
inline constexpr uint64_t Block = 512, Size = 124, Checksum = 148, Magic = 257;
inline constexpr uint64_t Record = 10240;  // what tar pads its archives to
}  // namespace tar

namespace {
bool Octal(const uint8_t* field, size_t width, uint64_t& value) {
    value = 0;
    size_t i = 0;
    while (i < width && field[i] == ' ') ++i;
    if (i < width && (field[i] & 0x80)) {
        // base-256, for sizes past 8 GiB
        value = field[i] & 0x3F;
        for (++i; i < width; ++i) value = value << 8 | field[i];
        return true;
    }
    bool any = false;
    for (; i < width && field[i] >= '0' && field[i] <= '7'; ++i) {
        value = value * 8 + (field[i] - '0');
        any = true;
    }
    return any;
}

// 1 a valid header, 0 a zero block, -1 neither.
int Header(BoundedReader& r, uint64_t at, uint64_t& dataSize) {
    uint8_t block[tar::Block];
    if (!r.Read(at, block, sizeof block)) return -1;
    uint64_t sum = 0, stored = 0;
    bool zero = true;
    for (size_t i = 0; i < sizeof block; ++i) {
        zero = zero && block[i] == 0;
        sum += (i >= tar::Checksum && i < tar::Checksum + 8) ? ' ' : block[i];
    }
    if (zero) return 0;
    if (!Octal(block + tar::Checksum, 8, stored) || stored != sum) return -1;
    if (!Octal(block + tar::Size, 12, dataSize)) dataSize = 0;
    const uint8_t type = block[156];
    // Links, folders and devices carry no data whatever their size field says.
    if (type == '1' || type == '2' || type == '3' || type == '4' || type == '5' || type == '6') dataSize = 0;
    return 1;
}
}  // namespace

StructuralSize TarSize(BoundedReader& r) {
    uint64_t at = 0, dataSize = 0;
    const int first = Header(r, 0, dataSize);
    if (first != 1) return r.Has(0, tar::Block) ? StructuralSize::Reject() : StructuralSize::Unknown();
    for (uint32_t n = 0; n < 50000000; ++n) {
        const int kind = Header(r, at, dataSize);
        if (kind < 0) return {};
        if (kind == 0) {
            uint64_t ignored = 0;
            if (Header(r, at + tar::Block, ignored) != 0) return {};
            uint64_t end = at + 2 * tar::Block;
            // Zeros up to the next whole record belong to the archive.
            const uint64_t record = (end + tar::Record - 1) / tar::Record * tar::Record;
            bool zeros = r.Has(0, record);
            for (uint64_t b = end; zeros && b < record; b += tar::Block) zeros = Header(r, b, ignored) == 0;
            return StructuralSize::Sized(zeros ? record : end);
        }
        at += tar::Block + (dataSize + tar::Block - 1) / tar::Block * tar::Block;
    }
    return {};
}

}  // namespace vx
