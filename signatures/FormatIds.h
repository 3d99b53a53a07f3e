#pragma once
// Format ids the program's own code refers to. Built-in ids lie below 900;
// the formats of today's files take 900 to 999; users' formats start at 1000.
#include <cstdint>

namespace vx::format_id {
inline constexpr int32_t Pdf = 47;
inline constexpr int32_t Jpeg = 83;
inline constexpr int32_t Gif = 85;
inline constexpr int32_t Tiff = 87;
inline constexpr int32_t Png = 88;
inline constexpr int32_t TrueType = 92;
inline constexpr int32_t CorelDraw = 94;
inline constexpr int32_t CanonRaw = 111;
inline constexpr int32_t NikonRaw = 114;
inline constexpr int32_t PentaxRaw = 116;
inline constexpr int32_t SonyRaw = 118;
inline constexpr int32_t Mp4 = 141;
inline constexpr int32_t Asf = 160;
inline constexpr int32_t QuickTime = 170;
inline constexpr int32_t Mobile3gp = 181;
inline constexpr int32_t Wave = 200;
inline constexpr int32_t Ogg = 202;
inline constexpr int32_t Au = 222;
inline constexpr int32_t Aiff = 223;
inline constexpr int32_t Zip = 300;
inline constexpr int32_t Rar = 310;
inline constexpr int32_t Tar = 330;
inline constexpr int32_t Gzip = 331;
inline constexpr int32_t Jar = 338;
inline constexpr int32_t Bzip2 = 341;
inline constexpr int32_t GzipMember = 344;
inline constexpr int32_t SevenZip = 345;
inline constexpr int32_t Executable = 400;
inline constexpr int32_t Avi = 524;
inline constexpr int32_t Bitmap = 525;

// Today's formats.
inline constexpr int32_t TodayFirst = 900;
inline constexpr int32_t TodayLast = 999;
inline constexpr int32_t Mp3 = 900;
inline constexpr int32_t M4a = 901;
inline constexpr int32_t Heif = 902;
inline constexpr int32_t WebP = 903;
inline constexpr int32_t Matroska = 904;
inline constexpr int32_t WebM = 905;
inline constexpr int32_t Flac = 906;
inline constexpr int32_t Sqlite = 907;
inline constexpr int32_t Elf = 908;
inline constexpr int32_t Xz = 909;
inline constexpr int32_t Zstd = 910;
inline constexpr int32_t Dng = 911;
inline constexpr int32_t CanonCr3 = 912;
inline constexpr int32_t SonyArw = 913;
inline constexpr int32_t Epub = 914;
inline constexpr int32_t OpenType = 915;
}  // namespace vx::format_id
