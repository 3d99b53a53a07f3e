#include "signatures/FastMatcher.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <span>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vx {

namespace {

struct Anchor {
    int64_t offset;
    uint8_t byte;
};

// The byte a condition pins at a fixed offset whenever it holds.
bool AnchorOf(const SignatureCondition& c, Anchor& a) {
    switch (c.kind) {
        case CondByte:
        case CondWord:
        case CondDword:
        case CondQword:
            a = {c.offset, c.data[0]};
            return true;
        case CondBytes:
            if (c.length == 0) return false;
            a = {c.offset, c.data[0]};
            return true;
        case CondMasked: {
            const size_t half = c.data.size() / 2;
            for (size_t j = 0; j < c.length; ++j)
                if (c.data[half + j] != 0) {
                    a = {int64_t(c.offset) + int64_t(j), c.data[j]};
                    return true;
                }
            return false;
        }
        default: return false;
    }
}

inline bool ByteEq(uint8_t x, uint8_t d, uint8_t fold) { return (x | fold) == (d | fold); }

bool RestEqual(const uint8_t* p, const uint8_t* d, size_t from, size_t len, uint8_t fold) {
    for (size_t j = from; j < len; ++j)
        if (!ByteEq(p[j], d[j], fold)) return false;
    return true;
}

#if defined(__x86_64__)
bool HaveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

// A condition that can join a find group: a find with at least two bytes
// (the first two pick the candidates) and a window shorter than a sector.
bool Groupable(const SignatureCondition& c) {
    return (c.kind == CondFind || c.kind == CondFindNoCase) && c.length >= 2 && c.length < 512;
}

uint8_t FoldOf(const SignatureCondition& c) { return c.kind == CondFindNoCase ? 0x20 : 0x00; }

#if defined(__x86_64__)
// The candidate filter of MultiFind, 32 window starts at a time. Leaves `i`
// at the first start it did not test.
__attribute__((target("avx2"))) inline __m256i PairMask(const uint8_t* at, __m256i vfold, __m256i v0,
                                                         const __m256i* v1, size_t n) {
    const __m256i a = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), vfold);
    const __m256i b = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1)), vfold);
    __m256i any = _mm256_cmpeq_epi8(b, v1[0]);
    for (size_t p = 1; p < n; ++p) any = _mm256_or_si256(any, _mm256_cmpeq_epi8(b, v1[p]));
    return _mm256_and_si256(_mm256_cmpeq_epi8(a, v0), any);
}

template <typename Candidate>
__attribute__((target("avx2"))) bool MultiFindAvx2(const uint8_t* buf, int64_t& i, int64_t hi, int64_t size,
                                                     uint8_t d0, const uint8_t* second, size_t n, uint8_t fold,
                                                     Candidate& candidate) {
    const __m256i vfold = _mm256_set1_epi8(char(fold));
    const __m256i v0 = _mm256_set1_epi8(char(d0));
    __m256i v1[8];
    for (size_t p = 0; p < n; ++p) v1[p] = _mm256_set1_epi8(char(second[p]));
    // Two blocks of 32 per step: one test for the common case of no candidate in either.
    while (i + 64 <= hi && i + 65 <= size) {
        const __m256i m0 = PairMask(buf + i, vfold, v0, v1, n), m1 = PairMask(buf + i + 32, vfold, v0, v1, n);
        const __m256i both = _mm256_or_si256(m0, m1);
        if (!_mm256_testz_si256(both, both)) {
            uint64_t bits = uint32_t(_mm256_movemask_epi8(m0)) | (uint64_t(uint32_t(_mm256_movemask_epi8(m1))) << 32);
            while (bits) {
                if (candidate(i + __builtin_ctzll(bits))) return true;
                bits &= bits - 1;
            }
        }
        i += 64;
    }
    while (i + 32 <= hi && i + 33 <= size) {
        const __m256i m = PairMask(buf + i, vfold, v0, v1, n);
        if (!_mm256_testz_si256(m, m)) {
            unsigned bits = unsigned(_mm256_movemask_epi8(m));
            while (bits) {
                if (candidate(i + __builtin_ctz(bits))) return true;
                bits &= bits - 1;
            }
        }
        i += 32;
    }
    // The last few starts: one more step that ends at `hi`, overlapping what
    // was tested already (those starts are skipped).
    if (i < hi && hi >= 32 && hi + 1 <= size) {
        const int64_t j = hi - 32;
        const __m256i m = PairMask(buf + j, vfold, v0, v1, n);
        unsigned bits = unsigned(_mm256_movemask_epi8(m));
        while (bits) {
            const int64_t at = j + __builtin_ctz(bits);
            if (at >= i && candidate(at)) return true;
            bits &= bits - 1;
        }
        i = hi;
    }
    return false;
}
#endif

// Several find conditions sharing kind, offset and first byte: true when any
// of them holds, with the same result as testing each on its own. Window
// starts differ per condition by its length, so each candidate is checked
// against the window of the condition it would complete.
bool MultiFind(std::span<const SignatureCondition* const> cs, ByteSpan buffer, size_t position) {
    constexpr size_t kMax = 8;
    const SignatureCondition& first = *cs[0];
    const uint8_t fold = FoldOf(first);
    const int64_t base = int64_t(position) + first.offset;
    const int64_t size = int64_t(buffer.size());
    const size_t n = std::min(cs.size(), kMax);
    int64_t hi[kMax];
    int64_t lo = std::max<int64_t>(base, 0), hiMax = lo;
    uint8_t second[kMax];
    for (size_t p = 0; p < n; ++p) {
        hi[p] = std::min<int64_t>(base + int64_t(512 - cs[p]->length), size - int64_t(cs[p]->length) + 1);
        hiMax = std::max(hiMax, hi[p]);
        second[p] = uint8_t(cs[p]->data[1] | fold);
    }
    if (lo >= hiMax) return false;
    const uint8_t* buf = buffer.data();
    const uint8_t d0 = uint8_t(first.data[0] | fold);
    auto candidate = [&](int64_t i) {
        for (size_t p = 0; p < n; ++p)
            if (i < hi[p] && RestEqual(buf + i, cs[p]->data.data(), 1, cs[p]->length, fold)) return true;
        return false;
    };
    int64_t i = lo;
#if defined(__x86_64__)
    if (HaveAvx2() && MultiFindAvx2(buf, i, hiMax, size, d0, second, n, fold, candidate)) return true;
#endif
#if defined(__SSE2__)
    const __m128i vfold = _mm_set1_epi8(char(fold));
    const __m128i v0 = _mm_set1_epi8(char(d0));
    __m128i v1[kMax];
    for (size_t p = 0; p < n; ++p) v1[p] = _mm_set1_epi8(char(second[p]));
    while (i + 16 <= hiMax && i + 17 <= size) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + i)), vfold);
        const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + i + 1)), vfold);
        __m128i any = _mm_cmpeq_epi8(b, v1[0]);
        for (size_t p = 1; p < n; ++p) any = _mm_or_si128(any, _mm_cmpeq_epi8(b, v1[p]));
        unsigned bits = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, v0), any)));
        while (bits) {
            if (candidate(i + __builtin_ctz(bits))) return true;
            bits &= bits - 1;
        }
        i += 16;
    }
#endif
    for (; i < hiMax; ++i)
        if ((buf[i] | fold) == d0 && candidate(i)) return true;
    return false;
}

bool Holds(const SignatureCondition& c, ByteSpan buffer, size_t position) {
    if (Groupable(c)) {
        const SignatureCondition* one = &c;  // a single search is a group of one
        return MultiFind({&one, 1}, buffer, position);
    }
    return c.Holds(buffer, position);
}

}  // namespace

FastMatcher::FastMatcher(std::vector<std::shared_ptr<FileType>> types) : types_(std::move(types)) {
    struct Entry {
        uint8_t byte;
        uint32_t signature;
    };
    std::map<int32_t, std::vector<Entry>> byOffset;
    for (uint32_t f = 0; f < types_.size(); ++f) {
        for (const FileTypeSignature& sig : types_[f]->signatures) {
            // A signature with a condition that can never be evaluated never matches.
            if (std::any_of(sig.conditions.begin(), sig.conditions.end(),
                            [](const SignatureCondition& c) { return !c.WellFormed(); }))
                continue;
            const uint32_t index = uint32_t(signatures_.size());
            signatures_.push_back({f, uint32_t(conditions_.size()), uint32_t(sig.conditions.size())});
            conditions_.insert(conditions_.end(), sig.conditions.begin(), sig.conditions.end());
            Anchor a{};
            bool anchored = false;
            for (const SignatureCondition& c : sig.conditions)
                if (AnchorOf(c, a)) {
                    anchored = a.offset >= std::numeric_limits<int32_t>::min() &&
                               a.offset <= std::numeric_limits<int32_t>::max();
                    break;
                }
            if (anchored)
                byOffset[int32_t(a.offset)].push_back({a.byte, index});
            else
                always_.push_back(index);
        }
    }
    for (auto& [offset, entries] : byOffset) {
        AnchorTable t;
        t.offset = offset;
        t.begin.fill(0);
        for (const Entry& e : entries) ++t.begin[e.byte + 1];
        for (size_t b = 1; b < t.begin.size(); ++b) t.begin[b] += t.begin[b - 1];
        t.entries.resize(entries.size());
        std::array<uint32_t, 257> fill = t.begin;
        for (const Entry& e : entries) t.entries[fill[e.byte]++] = e.signature;  // ascending within a byte
        anchors_.push_back(std::move(t));
    }
    GroupFindSignatures();
}

void FastMatcher::GroupFindSignatures() {
    auto single = [&](uint32_t s) -> const SignatureCondition* {
        const Signature& sig = signatures_[s];
        return sig.count == 1 && Groupable(conditions_[sig.first]) ? &conditions_[sig.first] : nullptr;
    };
    for (size_t k = 0; k < always_.size(); ++k) {
        const SignatureCondition* c = single(always_[k]);
        if (!c || signatures_[always_[k]].group >= 0) continue;
        FindGroup g;
        g.conditions.push_back(c);
        std::vector<uint32_t> members{always_[k]};
        for (size_t j = k + 1; j < always_.size() && g.conditions.size() < 8; ++j) {
            const Signature& other = signatures_[always_[j]];
            if (other.format != signatures_[always_[k]].format) break;
            const SignatureCondition* o = single(always_[j]);
            if (!o || o->kind != c->kind || o->offset != c->offset ||
                (o->data[0] | FoldOf(*o)) != (c->data[0] | FoldOf(*c)))
                continue;
            g.conditions.push_back(o);
            members.push_back(always_[j]);
        }
        if (members.size() < 2) continue;
        for (uint32_t m : members) signatures_[m].group = int32_t(groups_.size());
        groups_.push_back(std::move(g));
    }
}

bool FastMatcher::GroupMatches(const FindGroup& g, ByteSpan buffer, size_t position) const {
    return MultiFind(g.conditions, buffer, position);
}

FastMatcher::~FastMatcher() = default;

bool FastMatcher::SignatureMatches(const Signature& s, ByteSpan buffer, size_t position) const {
    for (uint32_t k = 0; k < s.count; ++k)
        if (!Holds(conditions_[s.first + k], buffer, position)) return false;
    return true;
}

template <typename Emit>
void FastMatcher::Run(ByteSpan buffer, size_t position, Emit&& emit) const {
    // Candidate signatures: a small stack array, spilling to the heap only for
    // databases with a great many signatures on one anchor byte.
    constexpr size_t kInline = 128;
    uint32_t inlineBuf[kInline];
    std::vector<uint32_t> spill;
    uint32_t* cand = inlineBuf;
    size_t n = 0, cap = kInline;
    auto push = [&](const uint32_t* from, size_t count) {
        if (n + count > cap) {
            if (cand == inlineBuf) spill.assign(inlineBuf, inlineBuf + n);
            spill.resize(std::max(cap * 2, n + count));
            cand = spill.data();
            cap = spill.size();
        }
        std::memcpy(cand + n, from, count * sizeof(uint32_t));
        n += count;
    };
    size_t sources = 0;
    for (const AnchorTable& t : anchors_) {
        int64_t at = int64_t(position) + t.offset;
        if (at < 0 || at >= int64_t(buffer.size())) continue;
        uint8_t b = buffer[size_t(at)];
        uint32_t from = t.begin[b], to = t.begin[b + 1];
        if (from == to) continue;
        push(t.entries.data() + from, to - from);
        ++sources;
    }
    if (!always_.empty()) {
        push(always_.data(), always_.size());
        ++sources;
    }
    if (sources > 1) std::sort(cand, cand + n);
    uint32_t lastFormat = std::numeric_limits<uint32_t>::max();
    int32_t lastGroup = -1;  // a group already searched at this position without a match
    for (size_t i = 0; i < n; ++i) {
        const Signature& s = signatures_[cand[i]];
        if (s.format == lastFormat) continue;
        if (s.group >= 0) {
            if (s.group == lastGroup) continue;
            lastGroup = s.group;
            if (GroupMatches(groups_[size_t(s.group)], buffer, position)) {
                lastFormat = s.format;
                emit(s.format);
            }
            continue;
        }
        if (SignatureMatches(s, buffer, position)) {
            lastFormat = s.format;
            emit(s.format);
        }
    }
}

void FastMatcher::MatchAt(ByteSpan buffer, size_t position, std::vector<int32_t>& out) const {
    Run(buffer, position, [&](uint32_t f) { out.push_back(types_[f]->Id()); });
}

void FastMatcher::MatchFormats(ByteSpan buffer, size_t position, std::vector<const FileType*>& out) const {
    Run(buffer, position, [&](uint32_t f) { out.push_back(types_[f].get()); });
}

void FastMatcher::MatchIndices(ByteSpan buffer, size_t position, std::vector<uint32_t>& out) const {
    Run(buffer, position, [&](uint32_t f) { out.push_back(f); });
}

}  // namespace vx
