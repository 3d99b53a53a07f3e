// The stored form of a file type (a registry value, and exactly the bytes of
// a signature file, which the import reads back through the same
// deserialiser): parsed, written again and parsed again to the same bytes;
// its signatures evaluated over the input, where the sector scan's fast
// matcher must answer exactly what the record's own test answers.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "fuzz/support/FuzzSupport.h"
#include "signatures/FastMatcher.h"
#include "signatures/FileType.h"

using namespace vx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ByteSpan input(data, size);
    std::shared_ptr<FileType> record = FileType::Deserialize(input);
    if (!record) return 0;
    const std::vector<uint8_t> stored = record->Serialize();
    std::unique_ptr<FileType> again = FileType::Deserialize(stored);
    fuzz::Require(again != nullptr, "a stored form written from a read one does not read back");
    fuzz::Require(again->Serialize() == stored, "a stored form changes when read and written again");
    const FastMatcher matcher({record});
    std::vector<int32_t> ids;
    const size_t step = size > 4096 ? size / 64 : 1;
    for (size_t p = 0; p < size; p += step) {
        ids.clear();
        matcher.MatchAt(input, p, ids);
        const bool expected = record->Matches(input, p);
        fuzz::Require(ids.size() <= 1, "one format matched twice");
        fuzz::Require(!ids.empty() == expected, "the fast matcher disagrees with the format's own test");
        if (!ids.empty()) fuzz::Require(ids[0] == record->Id(), "the fast matcher names another format");
    }
    return 0;
}
