// ZIP and its family (JAR, EPUB, Office and OpenDocument files): local
// headers stepped over by their stated sizes, the central directory, the end
// record and its comment. Entries whose sizes follow their data (a data
// descriptor) are passed by finding the end record whose directory lies
// right before it.
#include "signatures/FormatIds.h"
#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace zip {
inline constexpr uint32_t LocalSignature = 0x04034B50;
inline constexpr uint32_t CentralSignature = 0x02014B50;
inline constexpr uint32_t EndSignature = 0x06054B50;
inline constexpr uint32_t DescriptorSignature = 0x08074B50;
inline constexpr uint32_t Zip64EndSignature = 0x06064B50;
inline constexpr uint32_t Zip64LocatorSignature = 0x07064B50;
inline constexpr uint64_t LocalFlags = 6, LocalMethod = 8, LocalCompressed = 18, LocalNameLength = 26,
                          LocalExtraLength = 28, LocalHeaderSize = 30;
inline constexpr uint64_t CentralNameLength = 28, CentralExtraLength = 30, CentralCommentLength = 32,
                          CentralHeaderSize = 46;
inline constexpr uint64_t EndDirectorySize = 12, EndDirectoryOffset = 16, EndCommentLength = 20, EndSize = 22;
inline constexpr uint16_t FlagDescriptor = 0x0008;
}  // namespace zip

namespace {
bool KnownMethod(uint16_t m) { return m <= 20 || (m >= 93 && m <= 99); }

// The end record at `at` closes an archive starting at 0: its directory
// ends right before it. The file's size, or 0.
uint64_t EndRecordSize(BoundedReader& r, uint64_t at) {
    uint32_t dirSize = 0, dirOffset = 0;
    uint16_t comment = 0;
    if (!r.Le32(at + zip::EndDirectorySize, dirSize) || !r.Le32(at + zip::EndDirectoryOffset, dirOffset) ||
        !r.Le16(at + zip::EndCommentLength, comment))
        return 0;
    if (dirOffset == 0xFFFFFFFF || dirSize == 0xFFFFFFFF) {
        // ZIP64: the locator stands right before the end record.
        uint32_t sig = 0;
        if (at < 20 || !r.Le32(at - 20, sig) || sig != zip::Zip64LocatorSignature) return 0;
    } else {
        if (uint64_t(dirOffset) + dirSize != at) {
            // A ZIP64 end record may stand between the directory and this one.
            uint32_t sig = 0;
            if (at < 20 || !r.Le32(at - 20, sig) || sig != zip::Zip64LocatorSignature) return 0;
        }
        uint32_t sig = 0;
        if (dirSize != 0 && (!r.Le32(dirOffset, sig) || sig != zip::CentralSignature)) return 0;
    }
    if (!r.Has(at, zip::EndSize + comment)) return 0;
    return at + zip::EndSize + comment;
}

int32_t FamilyOf(BoundedReader& r) {
    uint16_t nameLength = 0, extra = 0;
    if (!r.Le16(zip::LocalNameLength, nameLength) || !r.Le16(zip::LocalExtraLength, extra)) return 0;
    if (nameLength == 8 && r.Equals(zip::LocalHeaderSize, "mimetype") &&
        r.Equals(zip::LocalHeaderSize + 8 + extra, "application/epub+zip"))
        return format_id::Epub;
    if ((nameLength == 9 && r.Equals(zip::LocalHeaderSize, "META-INF/")) ||
        (nameLength == 20 && r.Equals(zip::LocalHeaderSize, "META-INF/MANIFEST.MF")))
        return format_id::Jar;
    return format_id::Zip;
}
}  // namespace

StructuralSize ZipSize(BoundedReader& r) {
    uint32_t sig = 0;
    uint16_t flags = 0, method = 0, nameLength = 0;
    if (!r.Le32(0, sig) || !r.Le16(zip::LocalFlags, flags) || !r.Le16(zip::LocalMethod, method) ||
        !r.Le16(zip::LocalNameLength, nameLength))
        return {};
    uint8_t version = 0;
    r.U8(4, version);
    if (sig != zip::LocalSignature || !KnownMethod(method) || nameLength == 0 || version > 100)
        return StructuralSize::Reject();
    StructuralSize out;
    out.formatId = FamilyOf(r);

    uint64_t at = 0;
    for (uint32_t n = 0; n < 10000000; ++n) {
        if (!r.Le32(at, sig)) return out;
        if (sig == zip::LocalSignature) {
            uint32_t compressed = 0;
            uint16_t extra = 0;
            if (!r.Le16(at + zip::LocalFlags, flags) || !r.Le32(at + zip::LocalCompressed, compressed) ||
                !r.Le16(at + zip::LocalNameLength, nameLength) || !r.Le16(at + zip::LocalExtraLength, extra))
                return out;
            if ((flags & zip::FlagDescriptor) || compressed == 0xFFFFFFFF) break;  // sizes follow the data
            at += zip::LocalHeaderSize + nameLength + extra + compressed;
        } else if (sig == zip::CentralSignature) {
            uint16_t name = 0, extra = 0, comment = 0;
            if (!r.Le16(at + zip::CentralNameLength, name) || !r.Le16(at + zip::CentralExtraLength, extra) ||
                !r.Le16(at + zip::CentralCommentLength, comment))
                return out;
            at += zip::CentralHeaderSize + name + extra + comment;
        } else if (sig == zip::Zip64EndSignature) {
            uint64_t size = 0;
            if (!r.Le64(at + 4, size) || size > (1u << 20)) return out;
            at += 12 + size;
        } else if (sig == zip::Zip64LocatorSignature) {
            at += 20;
        } else if (sig == zip::EndSignature) {
            if (const uint64_t size = EndRecordSize(r, at)) {
                out.verdict = SizeVerdict::Sized;
                out.size = size;
            }
            return out;
        } else {
            break;  // damaged, or a descriptor we did not expect
        }
    }
    // Find the end record whose directory closes the archive.
    const uint64_t searchEnd = std::min(r.Limit(), at + kMaxLookAhead);
    for (uint64_t from = at; from < searchEnd;) {
        const uint64_t hit = r.Find(from, searchEnd, "PK\x05\x06");
        if (hit == BoundedReader::kNotFound) return out;
        if (const uint64_t size = EndRecordSize(r, hit)) {
            out.verdict = SizeVerdict::Sized;
            out.size = size;
            return out;
        }
        from = hit + 1;
    }
    return out;
}

}  // namespace vx
