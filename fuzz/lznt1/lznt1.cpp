// LZNT1 expansion into a buffer of a size the input's first two bytes choose.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fs/Lznt1.h"
#include "fuzz/support/FuzzSupport.h"

using namespace vx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t outSize = (size_t(data[0]) | (size_t(data[1]) << 8)) % 65537;
    std::vector<uint8_t> out(outSize);
    const int64_t got = Lznt1Decompress(ByteSpan(data + 2, size - 2), out.data(), out.size());
    fuzz::Require(got >= -1 && got <= int64_t(outSize), "expansion reported more than its buffer");
    return 0;
}
