#pragma once
// Text conversions. Inside the program text is UTF-8; stored records and
// on-disk names are UTF-16LE or the ANSI code page (CP1252) and are converted
// at the edge.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Bytes.h"

namespace vx {

// UTF-16LE bytes (no terminator required; stops at the first NUL unit).
std::string Utf16LeToUtf8(ByteSpan bytes);
std::string Utf16ToUtf8(const std::u16string& text);
std::u16string Utf8ToUtf16(std::string_view text);
// Writes `text` as UTF-16LE into a fixed field of `chars` characters, zero-filled
// and always terminated (so at most chars-1 characters are kept).
void WriteUtf16Field(uint8_t* field, size_t chars, std::string_view text);
std::string ReadUtf16Field(ByteSpan field);

// A single-byte code page (for example "CP1252" or "CP437") to UTF-8 through iconv.
std::string CodePageToUtf8(ByteSpan bytes, const char* codePage = "CP1252");
std::string AnsiToUtf8(ByteSpan bytes);  // CP1252

std::string TrimSpaces(std::string_view text);
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

}  // namespace vx
