#include "common/Text.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace vx {

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

template <typename Next>
std::string DecodeUtf16(size_t units, Next next) {
    std::string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = next(i);
        if (u == 0) break;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            uint32_t lo = next(i + 1);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;  // lone surrogate
        AppendUtf8(out, u);
    }
    return out;
}

}  // namespace

std::string Utf16LeToUtf8(ByteSpan bytes) {
    return DecodeUtf16(bytes.size() / 2, [&](size_t i) { return uint32_t(le16(bytes, i * 2)); });
}

std::string Utf16ToUtf8(const std::u16string& text) {
    return DecodeUtf16(text.size(), [&](size_t i) { return uint32_t(text[i]); });
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint8_t c = uint8_t(text[i]);
        uint32_t cp;
        size_t len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; len = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; len = 3; }
        else if ((c >> 3) == 30) { cp = c & 0x07; len = 4; }
        else { out += u'\xFFFD'; ++i; continue; }
        if (i + len > text.size()) { out += u'\xFFFD'; break; }
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            uint8_t cc = uint8_t(text[i + k]);
            if ((cc >> 6) != 2) { ok = false; break; }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) { out += u'\xFFFD'; ++i; continue; }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

void WriteUtf16Field(uint8_t* field, size_t chars, std::string_view text) {
    std::memset(field, 0, chars * 2);
    if (chars == 0) return;
    std::u16string w = Utf8ToUtf16(text);
    size_t n = std::min(w.size(), chars - 1);
    for (size_t i = 0; i < n; ++i) put16(field + 2 * i, uint16_t(w[i]));
}

std::string ReadUtf16Field(ByteSpan field) { return Utf16LeToUtf8(field); }

std::string CodePageToUtf8(ByteSpan bytes, const char* codePage) {
    iconv_t cd = iconv_open("UTF-8", codePage);
    if (cd == iconv_t(-1)) {
        std::string plain;
        for (uint8_t b : bytes) plain += b < 0x80 ? char(b) : '?';
        return plain;
    }
    std::string out;
    std::string in(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    char* inp = in.data();
    size_t inLeft = in.size();
    char buf[256];
    while (inLeft > 0) {
        char* outp = buf;
        size_t outLeft = sizeof buf;
        size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        out.append(buf, sizeof buf - outLeft);
        if (r == size_t(-1) && errno != E2BIG) {
            // A byte the code page leaves undefined: show it as '?' and go on.
            out += '?';
            ++inp;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
}

std::string AnsiToUtf8(ByteSpan bytes) { return CodePageToUtf8(bytes, "CP1252"); }

std::string TrimSpaces(std::string_view text) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    size_t e = text.find_last_not_of(' ');
    return std::string(text.substr(b, e - b + 1));
}

std::string ToLowerAscii(std::string_view text) {
    std::string s(text);
    for (char& c : s) c = char(std::tolower(uint8_t(c)));
    return s;
}

std::string ToUpperAscii(std::string_view text) {
    std::string s(text);
    for (char& c : s) c = char(std::toupper(uint8_t(c)));
    return s;
}

}  // namespace vx
