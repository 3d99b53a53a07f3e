#pragma once
// LZNT1, the compression of NTFS compressed files. A compression unit is a
// sequence of chunks, each expanding to at most 4 KiB: a 16-bit header
// (bit 15 set when the chunk is compressed, low 12 bits its stored size - 3)
// followed by either 4096 raw bytes or groups of one flag byte and eight
// tokens (a literal byte, or a 16-bit back reference whose split between
// offset and length depends on the position inside the chunk).
#include <cstddef>
#include <cstdint>

#include "common/Bytes.h"

namespace vx {

// Expands `in` into `out` (`outSize` bytes at most). Returns the bytes
// produced, or -1 when the stream is damaged (a back reference before the
// start of its chunk, a chunk that runs past its input). Expansion stops at a
// zero chunk header, at the end of the input, or when `out` is full.
int64_t Lznt1Decompress(ByteSpan in, uint8_t* out, size_t outSize);

}  // namespace vx
