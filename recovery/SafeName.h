#pragma once
// Names read from a source become file names below a destination folder.
// A name is made one harmless path component: it can never name a parent,
// a subfolder or the folder itself, and it fits the file system's limit.
#include <string>
#include <string_view>

namespace vx {

inline constexpr size_t kMaxNameBytes = 255;

// '/', NUL and control characters become '_'; "." and ".." become "_." and
// "_.."; an empty name becomes "_"; a name longer than 255 bytes is shortened
// on a character boundary, keeping its extension.
std::string SafeFileName(std::string_view name);

// "name (n).ext" for n >= 1, within the same length limit.
std::string NumberedName(const std::string& safeName, unsigned n);

}  // namespace vx
