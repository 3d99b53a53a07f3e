// The structural size rules of the lost-file search, each over a file in
// memory. Input: a 32-bit format id (one without a rule is taken as the
// rule list's id at that index), one byte choosing how far the rule may read
// (0: the input's end; n: 2^n bytes, past the input nothing can be read),
// then the file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Bytes.h"
#include "fuzz/support/FuzzSupport.h"
#include "signatures/FileTypeDatabase.h"
#include "signatures/sizes/BoundedReader.h"
#include "signatures/sizes/SizeRule.h"

using namespace vx;

namespace {

const std::vector<int32_t>& RuleIds() {
    static const std::vector<int32_t> ids = [] {
        std::vector<int32_t> out;
        for (const std::unique_ptr<FileType>& t : BuildBuiltinTypes())
            if (FindSizeRule(t->Id()).rule) out.push_back(t->Id());
        return out;
    }();
    return ids;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5 || RuleIds().empty()) return 0;
    int32_t id = int32_t(le32(ByteSpan(data, size), 0));
    const SizeRuleEntry entry = FindSizeRule(id);
    if (!entry.rule) id = RuleIds()[uint32_t(id) % RuleIds().size()];
    const ByteSpan file(data + 5, size - 5);
    const uint8_t reach = data[4] % 48;
    const uint64_t available = reach ? uint64_t(1) << reach : file.size();
    MemoryByteSource source(file);
    std::vector<uint8_t> window;
    const StructuralSize result = ReadStructuralSize(id, source, 0, available, window);
    if (result.verdict == SizeVerdict::Sized) {
        fuzz::Require(result.size <= available, "a size past what may be read");
        fuzz::Require(result.size <= FindSizeRule(id).ceiling, "a size past the format's ceiling");
    }
    return 0;
}
