#pragma once
// FastMatcher: the sector scanner's inner loop. Built once from a format list
// (FileTypes().Matcher() hands out the current one), it answers for a buffer
// and a position exactly what asking every format's Matches in list order
// would, but tests only the signatures whose anchor byte is present.
//
// Each signature is indexed by one byte it pins at a fixed offset (the first
// byte tested by its first byte-, word-, dword-, qword-, bytes- or masked
// condition); signatures with no such byte (find conditions, ranges) are
// tested at every position; those of one format that are each one search
// with the same first byte (HTML's two) are searched together in one pass.
// The matcher owns a copy of the signatures, so
// edits of the records do not touch a running scan; the records themselves
// are kept alive by the snapshot.
//
// Use (one matcher shared by all scan workers; MatchAt is thread-safe and
// allocates nothing once `out` has grown):
//   std::shared_ptr<const FastMatcher> m = FileTypes().Matcher();
//   std::vector<int32_t> ids;
//   for (size_t p = 0; p < block.size(); p += 512) {
//       ids.clear();
//       m->MatchAt(block, p, ids);          // format ids, list order
//   }
// MatchFormats gives the records (and so the search flag, size rule, prefix).
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/Bytes.h"
#include "signatures/FileType.h"

namespace vx {

class FastMatcher {
public:
    explicit FastMatcher(std::vector<std::shared_ptr<FileType>> types);
    ~FastMatcher();
    FastMatcher(const FastMatcher&) = delete;
    FastMatcher& operator=(const FastMatcher&) = delete;

    // Appends the ids of the formats that match at buffer[position], in list order.
    void MatchAt(ByteSpan buffer, size_t position, std::vector<int32_t>& out) const;
    // Appends the matching records, in list order.
    void MatchFormats(ByteSpan buffer, size_t position, std::vector<const FileType*>& out) const;
    // Appends the list indices of the matching formats, in order.
    void MatchIndices(ByteSpan buffer, size_t position, std::vector<uint32_t>& out) const;

    size_t FormatCount() const { return types_.size(); }
    const FileType& Format(size_t index) const { return *types_[index]; }
    // Signatures tested at every position (no anchor byte).
    size_t UnanchoredCount() const { return always_.size(); }

private:
    struct Signature {
        uint32_t format;    // list index
        uint32_t first;     // index into conditions_
        uint32_t count;
        int32_t group = -1; // index into groups_ when searched with its siblings
    };
    // Unanchored signatures of one format that are each a single find
    // condition with the same kind, offset and first byte ("<HTML" and
    // "<!DOCTYPE HTML"): one pass over the window answers for all of them.
    struct FindGroup {
        std::vector<const SignatureCondition*> conditions;  // into conditions_, fixed once built
    };
    // One anchor offset: signature indices by the byte found there.
    struct AnchorTable {
        int32_t offset;
        std::array<uint32_t, 257> begin;  // into entries
        std::vector<uint32_t> entries;
    };

    bool SignatureMatches(const Signature& s, ByteSpan buffer, size_t position) const;
    bool GroupMatches(const FindGroup& g, ByteSpan buffer, size_t position) const;
    void GroupFindSignatures();
    template <typename Emit>
    void Run(ByteSpan buffer, size_t position, Emit&& emit) const;

    std::vector<std::shared_ptr<FileType>> types_;
    std::vector<Signature> signatures_;
    std::vector<SignatureCondition> conditions_;
    std::vector<AnchorTable> anchors_;
    std::vector<uint32_t> always_;  // signature indices, ascending
    std::vector<FindGroup> groups_;
};

}  // namespace vx
