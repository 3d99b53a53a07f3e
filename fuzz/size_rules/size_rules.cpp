// The structural size rules: the first two bytes of the input choose the
// format (an index into the formats that have a rule), the rest is the file
// the rule walks, read through an in-memory source. Whatever the input, a
// size found lies inside it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/support/FuzzSupport.h"
#include "signatures/sizes/SizeRule.h"

using namespace vx;

namespace {
std::vector<int32_t> FormatsWithRules() {
    std::vector<int32_t> ids;
    for (int32_t id = 1; id < 1000; ++id)
        if (FindSizeRule(id).rule) ids.push_back(id);
    return ids;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<int32_t> formats = FormatsWithRules();
    if (size < 2) return 0;
    const int32_t format = formats[(data[0] | data[1] << 8) % formats.size()];
    MemoryByteSource source(ByteSpan(data + 2, size - 2));
    static std::vector<uint8_t> window;
    const StructuralSize s = ReadStructuralSize(format, source, 0, size - 2, window);
    if (s.verdict == SizeVerdict::Sized) fuzz::Require(s.size > 0 && s.size <= size - 2, "a size past the input");
    return 0;
}
