#include <algorithm>

#include "signatures/FormatIds.h"
#include "signatures/sizes/SizeRule.h"

namespace vx {

namespace {

constexpr uint64_t MiB = 1ull << 20, GiB = 1ull << 30;

struct Row {
    int32_t id;
    SizeRuleEntry entry;
};

namespace f = format_id;

// Ceilings: well above the largest file of the format a user keeps, so that
// only a damaged or forged header reaches them.
const Row kRules[] = {
    {f::Jpeg, {JpegSize, 256 * MiB, false}},
    {f::Png, {PngSize, 1 * GiB, true}},
    {f::Gif, {GifSize, 256 * MiB, false}},
    {f::Bitmap, {BmpSize, 1 * GiB, true, false}},
    {f::Wave, {RiffSize, 4 * GiB, true}},
    {f::Avi, {RiffSize, 64 * GiB, true}},
    {f::CorelDraw, {RiffSize, 1 * GiB, true}},
    {f::WebP, {RiffSize, 256 * MiB, true}},
    {f::Zip, {ZipSize, 4 * GiB, true}},
    {f::Jar, {ZipSize, 4 * GiB, true}},
    {f::Epub, {ZipSize, 4 * GiB, true}},
    {f::Pdf, {PdfSize, 2 * GiB, false}},
    {f::Gzip, {GzipSize, 4 * GiB, false}},
    {f::GzipMember, {GzipSize, 4 * GiB, false}},
    {f::Ogg, {OggSize, 4 * GiB, true}},
    {f::Mp3, {Mp3Size, 1 * GiB, false}},
    {f::Mp4, {IsoMediaSize, 64 * GiB, true}},
    {f::QuickTime, {IsoMediaSize, 64 * GiB, true}},
    {f::Mobile3gp, {IsoMediaSize, 16 * GiB, true}},
    {f::M4a, {IsoMediaSize, 4 * GiB, true}},
    {f::Heif, {IsoMediaSize, 1 * GiB, true}},
    {f::CanonCr3, {IsoMediaSize, 1 * GiB, true}},
    {f::Tiff, {TiffSize, 4 * GiB, true, false}},
    {f::NikonRaw, {TiffSize, 4 * GiB, true, false}},
    {f::PentaxRaw, {TiffSize, 4 * GiB, true, false}},
    {f::SonyRaw, {TiffSize, 4 * GiB, true, false}},
    {f::Dng, {TiffSize, 4 * GiB, true, false}},
    {f::SonyArw, {TiffSize, 4 * GiB, true, false}},
    {f::TrueType, {FontSize, 256 * MiB, true, false}},
    {f::OpenType, {FontSize, 256 * MiB, true, false}},
    {f::Elf, {ElfSize, 4 * GiB, true, false}},
    {f::Executable, {PeSize, 4 * GiB, true, false}},
    {f::SevenZip, {SevenZipSize, 64 * GiB, true}},
    {f::Rar, {RarSize, 64 * GiB, true}},
    {f::Bzip2, {Bzip2Size, 4 * GiB, false}},
    {f::Sqlite, {SqliteSize, 64 * GiB, true, false}},
    {f::Tar, {TarSize, 64 * GiB, true}},
    {f::Matroska, {MatroskaSize, 64 * GiB, true}},
    {f::WebM, {MatroskaSize, 64 * GiB, true}},
    {f::Xz, {XzSize, 4 * GiB, false}},
    {f::Zstd, {ZstdSize, 4 * GiB, true}},
    {f::Flac, {FlacSize, 4 * GiB, false}},
    {f::Asf, {AsfSize, 64 * GiB, true, false}},
    {f::Au, {AuSize, 4 * GiB, true, false}},
};

}  // namespace

SizeRuleEntry FindSizeRule(int32_t formatId) {
    for (const Row& row : kRules)
        if (row.id == formatId) return row.entry;
    return {};
}

StructuralSize ReadStructuralSize(int32_t formatId, IByteSource& source, uint64_t start, uint64_t available,
                                  std::vector<uint8_t>& window) {
    const SizeRuleEntry entry = FindSizeRule(formatId);
    if (!entry.rule) return {};
    const uint64_t bound = std::min(available, entry.ceiling);
    const uint64_t limit = entry.headerSized ? bound : std::min(bound, kMaxLookAhead);
    BoundedReader reader(source, start, limit, window);
    StructuralSize result = entry.rule(reader);
    if (result.verdict == SizeVerdict::Sized && (result.size == 0 || result.size > limit)) {
        result.verdict = SizeVerdict::Unknown;
        result.size = 0;
    }
    return result;
}

}  // namespace vx
