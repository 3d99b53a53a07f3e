#include "ui/explorer/ExplorerFilter.h"

#include <cstring>
#include <ctime>

#include "common/Bytes.h"
#include "common/Text.h"
#include "fs/FatTime.h"
#include "fs/FoundObject.h"

namespace vx {

CExplorerFilter::CExplorerFilter() { SetDefaults(); }

void CExplorerFilter::SetDefaults() {
    bytes_.fill(0);
    SetWord(filter_offset::Unused8, 1);
    SetWord(filter_offset::Unused48, 1);
    SetPattern("*.*");
    SetTime(filter_offset::To, ~uint64_t(0));
    SetTime(filter_offset::Unused656, ~uint64_t(0));
    SetTime(filter_offset::Unused672, ~uint64_t(0));
}

bool CExplorerFilter::Load() {
    uint8_t raw[kFilterSize];
    std::memcpy(raw, bytes_.data(), kFilterSize);  // stored as they are when nothing was stored yet
    if (!LoadFilter(raw)) return false;
    std::memcpy(bytes_.data(), raw, kFilterSize);
    return true;
}

void CExplorerFilter::Save() const {
    uint8_t raw[kFilterSize];
    std::memcpy(raw, bytes_.data(), kFilterSize);
    (void)SaveFilter(raw);
}

uint32_t CExplorerFilter::Word(size_t offset) const {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | bytes_[offset + size_t(i)];
    return v;
}

void CExplorerFilter::SetWord(size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes_[offset + i] = uint8_t(value >> (8 * i));
}

uint64_t CExplorerFilter::Time(size_t offset) const {
    return uint64_t(Word(offset)) | (uint64_t(Word(offset + 4)) << 32);
}

void CExplorerFilter::SetTime(size_t offset, uint64_t fileTime) {
    SetWord(offset, uint32_t(fileTime));
    SetWord(offset + 4, uint32_t(fileTime >> 32));
}

std::string CExplorerFilter::Pattern() const {
    std::u16string text;
    for (size_t i = 0; i < filter_offset::PatternChars; ++i) {
        const size_t at = filter_offset::Pattern + 2 * i;
        const char16_t c = char16_t(bytes_[at] | (bytes_[at + 1] << 8));
        if (c == 0) break;
        text.push_back(c);
    }
    std::string out;
    for (char16_t c : text) {  // the pattern is typed text: BMP characters
        if (c < 0x80) out.push_back(char(c));
        else if (c < 0x800) { out.push_back(char(0xC0 | (c >> 6))); out.push_back(char(0x80 | (c & 0x3F))); }
        else {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

void CExplorerFilter::SetPattern(const std::string& pattern) {
    std::u16string text;
    for (size_t i = 0; i < pattern.size();) {  // UTF-8 to UTF-16 (BMP)
        const uint8_t c = uint8_t(pattern[i]);
        char32_t cp = c;
        size_t len = 1;
        if (c >= 0xE0 && i + 2 < pattern.size()) { cp = ((c & 0x0F) << 12) | ((pattern[i + 1] & 0x3F) << 6) | (pattern[i + 2] & 0x3F); len = 3; }
        else if (c >= 0xC0 && i + 1 < pattern.size()) { cp = ((c & 0x1F) << 6) | (pattern[i + 1] & 0x3F); len = 2; }
        text.push_back(char16_t(cp));
        i += len;
    }
    if (text.size() > filter_offset::PatternChars - 1) text.resize(filter_offset::PatternChars - 1);
    std::memset(bytes_.data() + filter_offset::Pattern, 0, 2 * filter_offset::PatternChars);
    for (size_t i = 0; i < text.size(); ++i) {
        bytes_[filter_offset::Pattern + 2 * i] = uint8_t(text[i]);
        bytes_[filter_offset::Pattern + 2 * i + 1] = uint8_t(text[i] >> 8);
    }
}

namespace {

// The local time of day of a file time, in 100 ns units.
uint64_t LocalTimeOfDay(uint64_t fileTime) {
    const time_t seconds = time_t(FileTimeToUnixSeconds(fileTime));
    struct tm local {};
    localtime_r(&seconds, &local);
    return (uint64_t(local.tm_hour) * 3600 + uint64_t(local.tm_min) * 60 + uint64_t(local.tm_sec)) * 10000000ull;
}

}  // namespace

bool CExplorerFilter::LeavesOut(const FoundObject& folder, int32_t rootId) const {
    if (folder.id < 0 || folder.id == rootId) return false;
    if (Flag(filter_offset::DeletedOnly) && !folder.Is(object_flag::Deleted) &&
        !folder.Is(object_flag::ContainsDeleted))
        return true;
    if (Flag(filter_offset::WildcardsOn) && folder.name && *folder.name) {
        const std::string pattern = Pattern();
        if (!WildcardMatch(pattern.c_str(), folder.name, false)) return true;
    }
    if (Flag(filter_offset::DateOn) && folder.created > 0) {
        uint64_t t = folder.created, from = Time(filter_offset::From), to = Time(filter_offset::To);
        if (Flag(filter_offset::TimeOnly)) {
            t = LocalTimeOfDay(t);
            from = from == 0 ? 0 : LocalTimeOfDay(from);
            to = to == ~uint64_t(0) ? to : LocalTimeOfDay(to);
        }
        if (t < from || t > to) return true;
    }
    return false;
}

bool WildcardMatch(const char* pattern, const char* text, bool ignoreCase) {
    auto same = [&](char a, char b) {
        if (!ignoreCase) return a == b;
        return (uint8_t(a) | 0x20) == (uint8_t(b) | 0x20);
    };
    // Iterative match with one back-track point for the last '*'.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*text) {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern && (*pattern == '?' || same(*pattern, *text))) {
            ++pattern;
            ++text;
        } else if (star) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

}  // namespace vx
