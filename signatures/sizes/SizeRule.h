#pragma once
// Structural sizes: a lost file's end read from the file's own structure (a
// marker walk, a chunk or box walk, a directory's reach, a header's size
// field). Each format family has one rule, a function over a bounded reader
// positioned at the candidate's start.
#include <cstdint>

#include "signatures/sizes/BoundedReader.h"

namespace vx {

enum class SizeVerdict : uint8_t {
    Unknown,       // the structure did not end cleanly inside the limit
    Sized,         // size holds the file's length
    NotThisFormat  // the bytes cannot start a file of the format: drop the candidate
};

struct StructuralSize {
    SizeVerdict verdict = SizeVerdict::Unknown;
    uint64_t size = 0;
    uint32_t width = 0;   // pixels, when the structure gave them
    uint32_t height = 0;
    int32_t formatId = 0;  // a more precise format of the family, or 0

    static StructuralSize Sized(uint64_t size) { return {SizeVerdict::Sized, size}; }
    static StructuralSize Unknown() { return {}; }
    static StructuralSize Reject() { return {SizeVerdict::NotThisFormat}; }
};

using SizeRuleFunction = StructuralSize (*)(BoundedReader& reader);

// Look-ahead allowed to rules that search forward through the data.
inline constexpr uint64_t kMaxLookAhead = 64ull << 20;

struct SizeRuleEntry {
    SizeRuleFunction rule = nullptr;
    // The largest file of the format the rule accepts.
    uint64_t ceiling = 0;
    // True when the rule only follows sizes the file's headers state, so it
    // may reach past the look-ahead allowance (up to the ceiling).
    bool headerSized = false;
    // True when a size found means the file's structure was followed to its
    // end (not only a size field read): what lies inside it is its own.
    bool walked = true;
};

// The rule of a format id; rule null when the format has none.
SizeRuleEntry FindSizeRule(int32_t formatId);

// Runs the rule of `formatId` over `source` from `start`, with `available`
// bytes readable before the volume's end: the one entry point of the scan,
// the tests and the fuzzing harness. `window` is scratch memory kept by the
// caller between calls. A sized result never exceeds what may be read.
StructuralSize ReadStructuralSize(int32_t formatId, IByteSource& source, uint64_t start, uint64_t available,
                                  std::vector<uint8_t>& window);

// --- The rules, one file per family -------------------------------------------
StructuralSize JpegSize(BoundedReader& r);
StructuralSize PngSize(BoundedReader& r);
StructuralSize GifSize(BoundedReader& r);
StructuralSize BmpSize(BoundedReader& r);
StructuralSize RiffSize(BoundedReader& r);
StructuralSize ZipSize(BoundedReader& r);
StructuralSize PdfSize(BoundedReader& r);
StructuralSize GzipSize(BoundedReader& r);
StructuralSize OggSize(BoundedReader& r);
StructuralSize Mp3Size(BoundedReader& r);
StructuralSize IsoMediaSize(BoundedReader& r);  // MP4, MOV, 3GP, M4A, HEIF, CR3
StructuralSize TiffSize(BoundedReader& r);
StructuralSize FontSize(BoundedReader& r);
StructuralSize ElfSize(BoundedReader& r);
StructuralSize PeSize(BoundedReader& r);
StructuralSize SevenZipSize(BoundedReader& r);
StructuralSize RarSize(BoundedReader& r);
StructuralSize Bzip2Size(BoundedReader& r);
StructuralSize SqliteSize(BoundedReader& r);
StructuralSize TarSize(BoundedReader& r);
StructuralSize MatroskaSize(BoundedReader& r);
StructuralSize XzSize(BoundedReader& r);
StructuralSize ZstdSize(BoundedReader& r);
StructuralSize FlacSize(BoundedReader& r);
StructuralSize AsfSize(BoundedReader& r);
StructuralSize AuSize(BoundedReader& r);

}  // namespace vx
