#include "recovery/SafeName.h"

namespace vx {

namespace {

// Largest prefix of `text` of at most `limit` bytes that ends on a UTF-8
// character boundary.
std::string_view Utf8Prefix(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// Splits off an extension worth keeping: a dot after the first character and
// at most 32 bytes after it.
void SplitExtension(std::string_view name, std::string_view& stem, std::string_view& extension) {
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot > 33) {
        stem = name;
        extension = {};
        return;
    }
    stem = name.substr(0, dot);
    extension = name.substr(dot);
}

std::string Fit(std::string_view stem, std::string_view suffix, std::string_view extension) {
    size_t room = kMaxNameBytes - suffix.size() - extension.size();
    std::string out(Utf8Prefix(stem, room));
    if (out.empty()) out = "_";
    out += suffix;
    out += extension;
    return out;
}

}  // namespace

std::string SafeFileName(std::string_view name) {
    std::string clean;
    clean.reserve(name.size());
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        clean += (c == '/' || u < 0x20 || u == 0x7F) ? '_' : c;
    }
    if (clean.empty()) return "_";
    if (clean == "." || clean == "..") return "_" + clean;
    if (clean.size() <= kMaxNameBytes) return clean;
    std::string_view stem, extension;
    SplitExtension(clean, stem, extension);
    return Fit(stem, {}, extension);
}

std::string NumberedName(const std::string& safeName, unsigned n) {
    std::string_view stem, extension;
    SplitExtension(safeName, stem, extension);
    return Fit(stem, " (" + std::to_string(n) + ")", extension);
}

}  // namespace vx
