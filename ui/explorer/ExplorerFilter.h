#pragma once
// The explorer's filter record: which folders the drive tree leaves out. A
// stored format (728 bytes, integers little-endian), kept in the program's
// configuration as the "Filter" value.
#include <array>
#include <cstdint>
#include <string>

#include "settings/ProgramSettings.h"

namespace vx {

struct FoundObject;

namespace filter_offset {
inline constexpr size_t Unused8 = 8;
inline constexpr size_t DeletedOnly = 20;
inline constexpr size_t Unused48 = 48;
inline constexpr size_t WildcardsOn = 52;
inline constexpr size_t DateOn = 56;
inline constexpr size_t TimeOnly = 60;
inline constexpr size_t SizeOn = 64;
inline constexpr size_t TickedTypesOnly = 76;
inline constexpr size_t Pattern = 120;   // UTF-16, 256 characters with the terminator
inline constexpr size_t PatternChars = 256;
inline constexpr size_t From = 632;      // FILETIME
inline constexpr size_t To = 640;        // FILETIME
inline constexpr size_t Unused656 = 656;
inline constexpr size_t Unused672 = 672;
}  // namespace filter_offset

class CExplorerFilter {
public:
    CExplorerFilter();  // the defaults

    void SetDefaults();
    // Reads and writes the stored record (false when there is none yet).
    bool Load();
    void Save() const;

    uint32_t Word(size_t offset) const;
    void SetWord(size_t offset, uint32_t value);
    bool Flag(size_t offset) const { return Word(offset) != 0; }
    void SetFlag(size_t offset, bool on) { SetWord(offset, on ? 1 : 0); }
    uint64_t Time(size_t offset) const;
    void SetTime(size_t offset, uint64_t fileTime);
    std::string Pattern() const;                 // UTF-8
    void SetPattern(const std::string& pattern);  // at most 255 characters kept

    // Whether a folder about to be inserted into the drive tree is left out.
    bool LeavesOut(const FoundObject& folder, int32_t rootId) const;

    const std::array<uint8_t, kFilterSize>& Bytes() const { return bytes_; }

private:
    std::array<uint8_t, kFilterSize> bytes_{};
};

// `*` any run, `?` any one character, everything else compared exactly.
bool WildcardMatch(const char* pattern, const char* text, bool ignoreCase);

}  // namespace vx
