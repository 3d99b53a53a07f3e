// The fast matcher gives exactly what asking every format in list order gives.
#include <gtest/gtest.h>

#include <cstring>
#include <atomic>
#include <random>
#include <thread>

#include "signatures/FastMatcher.h"
#include "signatures/FileTypeDatabase.h"

namespace vx {
namespace {

std::vector<std::shared_ptr<FileType>> Shared(std::vector<std::unique_ptr<FileType>> types) {
    std::vector<std::shared_ptr<FileType>> out;
    for (auto& t : types) out.push_back(std::move(t));
    return out;
}

std::vector<uint32_t> PlainLoop(const std::vector<std::shared_ptr<FileType>>& types, ByteSpan buffer, size_t pos) {
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < types.size(); ++i)
        if (types[i]->Matches(buffer, pos)) out.push_back(i);
    return out;
}

// The bytes each signature of each format pins: a sector in which the format
// can be expected to match (ranges take their minimum).
std::vector<uint8_t> HeaderOf(const FileTypeSignature& sig) {
    std::vector<uint8_t> s(1024, 0);
    for (const SignatureCondition& c : sig.conditions) {
        if (c.offset < 0 || c.offset + 16 > 1024) continue;
        size_t n = c.kind == CondByteRange || c.kind == CondWordRange ? ConditionWidth(c.kind)
                                                                     : std::min<size_t>(c.data.size(), 64);
        std::memcpy(s.data() + c.offset, c.data.data(), n);
    }
    return s;
}

void ExpectSameEverywhere(const std::vector<std::shared_ptr<FileType>>& types, ByteSpan buffer, size_t step,
                          size_t* matched = nullptr) {
    FastMatcher matcher(types);
    std::vector<uint32_t> fast;
    for (size_t p = 0; p < buffer.size(); p += step) {
        fast.clear();
        matcher.MatchIndices(buffer, p, fast);
        std::vector<uint32_t> plain = PlainLoop(types, buffer, p);
        ASSERT_EQ(fast, plain) << "position " << p;
        if (matched) *matched += plain.size();
    }
}

TEST(FastMatcher, AgreesWithThePlainLoopOnRandomDataAndEveryHeader) {
    auto types = Shared(BuildBuiltinTypes());
    std::mt19937 rng(4);
    std::vector<uint8_t> buffer(8 << 20);
    for (auto& b : buffer) b = uint8_t(rng());
    // Every built-in signature's header, and HTML near the end of its window,
    // planted at sector starts; the rest stays random.
    size_t at = 0, planted = 0;
    for (const auto& t : types)
        for (const FileTypeSignature& sig : t->signatures) {
            std::vector<uint8_t> h = HeaderOf(sig);
            std::memcpy(buffer.data() + at, h.data(), 512);
            at += 4096;
            ++planted;
        }
    for (size_t shift : {0, 1, 505, 506, 507}) {
        std::memcpy(buffer.data() + at + shift, "<HtMl", 5);
        at += 4096;
    }
    size_t matched = 0;
    ExpectSameEverywhere(types, buffer, 512, &matched);
    EXPECT_GE(matched, planted);
    // Positions off the sector grid and the buffer's last bytes (conditions
    // that would read past its end) agree too.
    ExpectSameEverywhere(types, ByteSpan(buffer.data(), 70000), 7);
    ExpectSameEverywhere(types, ByteSpan(buffer.data() + 4096 * 8, 700), 1);
}

// The HTML row's two searches are answered in one pass: every place in the
// window, at both its edges and where the buffer ends early, agrees with
// testing them one by one.
TEST(FastMatcher, HtmlSearchesAgreeAtEveryPlaceInTheWindow) {
    auto types = Shared(BuildBuiltinTypes());
    std::mt19937 rng(9);
    for (const char* text : {"<hTmL", "<!DOCTYPE html"}) {
        const size_t len = std::strlen(text);
        for (size_t shift = 0; shift < 512; ++shift) {
            std::vector<uint8_t> buffer(1024);
            for (auto& b : buffer) b = uint8_t(rng() | 0x80);  // no stray '<'
            std::memcpy(buffer.data() + shift, text, len);
            ExpectSameEverywhere(types, buffer, 512);
            for (size_t cut : {shift + len, shift + len - 1, shift + len + 31})
                ExpectSameEverywhere(types, ByteSpan(buffer.data(), std::min(cut, buffer.size())), 512);
        }
    }
}

TEST(FastMatcher, HandlesUnusualConditions) {
    std::vector<std::unique_ptr<FileType>> list;
    auto add = [&](auto&& build) {
        auto t = FileType::Create(int32_t(2000 + list.size()), -144, "x", "x", "X");
        build(*t);
        list.push_back(std::move(t));
    };
    add([](FileType& t) { t.AddSignature(CondFind, {'a', 'b'}, -3); });
    add([](FileType& t) { t.AddSignature(CondFindNoCase, {'Q'}, 100); });
    add([](FileType& t) { t.AddSignature(CondByte, {'a'}, -2, 0, 2); });
    add([](FileType& t) {
        std::vector<uint8_t> area(16, 0);
        area[3] = 'b';
        area[8 + 3] = 0xF0;
        t.AddSignature(CondMasked, area, 1, 4);
    });
    add([](FileType& t) { t.AddSignature(CondWordRange, {'a', 'a', 'b', 'b'}, 0); });
    add([](FileType& t) { t.AddSignature(CondMaskedBits, {}, 0); });  // length 1024 > half its area: never
    add([](FileType& t) { t.AddSignature(0x4000, {1, 2, 3}, 5); });   // unknown kind: always holds
    add([](FileType& t) {
        t.AddSignature(CondBytes, {'a', 'b'}, 0);
        t.AddCondition(0, CondFind, {'b', 'a'}, 1);
    });
    add([](FileType& t) { t.signatures.emplace_back(); });  // no conditions: holds everywhere
    auto types = Shared(std::move(list));
    std::mt19937 rng(9);
    std::vector<uint8_t> buffer(40000);
    for (auto& b : buffer) b = "abQq"[rng() % 4];
    ExpectSameEverywhere(types, buffer, 1);
}

TEST(FastMatcher, DatabaseSnapshotFollowsAddedFormats) {
    FileTypeDatabase db;
    for (auto& t : BuildBuiltinTypes()) db.AddType(std::move(t));
    std::shared_ptr<const FastMatcher> before = db.Matcher();
    EXPECT_EQ(before, db.Matcher());
    auto extra = FileType::Create(1500, -144, "x", "x", "X");
    extra->AddSignature(CondBytes, {'%', 'P', 'D', 'F'}, 0);
    db.AddType(std::move(extra));
    std::shared_ptr<const FastMatcher> after = db.Matcher();
    EXPECT_EQ(before->FormatCount(), 120u);
    EXPECT_EQ(after->FormatCount(), 121u);
    std::vector<uint8_t> pdf(512, 0);
    std::memcpy(pdf.data(), "%PDF-1.4", 8);
    std::vector<int32_t> ids;
    after->MatchAt(pdf, 0, ids);
    EXPECT_EQ(ids, (std::vector<int32_t>{47, 1500}));
    ids.clear();
    before->MatchAt(pdf, 0, ids);
    EXPECT_EQ(ids, (std::vector<int32_t>{47}));
}

// Scan workers match and look records up while the user-interface thread adds
// formats; each worker's snapshot stays whole.
TEST(FastMatcher, WorkersReadWhileFormatsAreAdded) {
    FileTypeDatabase db;
    for (auto& t : BuildBuiltinTypes()) db.AddType(std::move(t));
    std::vector<uint8_t> sector(512, 0);
    std::memcpy(sector.data(), "%PDF-1.7", 8);
    std::atomic<bool> stop{false};
    std::atomic<size_t> wrong{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w)
        workers.emplace_back([&] {
            std::vector<int32_t> ids;
            while (!stop.load()) {
                std::shared_ptr<const FastMatcher> m = db.Matcher();
                ids.clear();
                m->MatchAt(sector, 0, ids);
                if (ids.empty() || ids[0] != 47) ++wrong;
                if (!db.FindTypeById(47) || db.FindTypeById(47)->NamePrefix() != "adobe") ++wrong;
            }
        });
    for (int i = 0; i < 200; ++i) {
        auto t = FileType::Create(3000 + i, -144, "added", "added", "ADD");
        t->AddSignature(CondBytes, {'%', 'P'}, 0);
        db.AddType(std::move(t));
        db.FindTypeById(47)->SetSearchFlag(i % 2 == 0);
    }
    stop = true;
    for (auto& w : workers) w.join();
    EXPECT_EQ(wrong.load(), 0u);
    std::vector<int32_t> ids;
    db.Matcher()->MatchAt(sector, 0, ids);
    EXPECT_EQ(ids.size(), 201u);
}

}  // namespace
}  // namespace vx
