// Positions per second of the sector scanner's matching over the built-in
// format table: the plain loop (every format's Matches, in list order) against
// the fast matcher's index, over random data and over a buffer whose every
// sector starts with a real file header, in CPU time of the matching
// thread. Both must give the same matches.
//
//   build/bench/bench_matcher [MiB]      (default 32 MiB per buffer)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "signatures/FastMatcher.h"
#include "signatures/FileTypeDatabase.h"

namespace {

using Clock = std::chrono::steady_clock;
using Types = std::vector<std::shared_ptr<vx::FileType>>;

std::string B(std::initializer_list<uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

// The first bytes of real files of common formats, as they start on a disk.
std::vector<std::string> RealHeaders() {
    std::string boot(512, '\0');
    boot.replace(0, 11, B({0xEB, 0x58, 0x90}) + "mkfs.fat");
    boot.replace(82, 8, "FAT32   ");
    boot.replace(510, 2, B({0x55, 0xAA}));
    return {
        "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< /Type /Catalog",
        B({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D, 'I', 'H', 'D', 'R', 0, 0, 1, 0}),
        B({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01}),
        B({0xFF, 0xD8, 0xFF, 0xE1, 0x2A, 0x3C, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 0x2A}),
        "GIF89a\x10\x00\x10\x00\x80\x00\x00",
        B({'B', 'M', 0x36, 0x30, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 0x28, 0, 0, 0}),
        B({'P', 'K', 3, 4, 0x14, 0, 0, 0, 8, 0}),
        B({'R', 'a', 'r', '!', 0x1A, 0x07, 0x00}),
        B({'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4}),
        B({0x1F, 0x8B, 0x08, 0x00}),
        "RIFF\x24\x08\x00\x00WAVEfmt \x10\x00\x00\x00",
        "RIFF\x10\x00\x01\x00" "AVI LIST\x94\x12\x00\x00",
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head><title>Report</title></head>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root/>",
        "{\\rtf1\\ansi\\deff0 {\\fonttbl {\\f0 Times;}}",
        B({0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 0, 0, 0, 0, 0, 0, 0, 0}),
        B({'I', 'I', '*', 0, 8, 0, 0, 0}),
        B({'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4, 0}),
        "BEGIN:VCARD\r\nVERSION:3.0\r\n",
        B({0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x10, 0x10, 0x00, 0x00}),
        "FILE0\x00\x03\x00",
        boot,
    };
}

struct Result {
    double seconds = 0;
    size_t matches = 0;
};

// CPU time of this thread: the machine is shared, and time spent waiting for
// a core is not the matcher's.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

template <typename Body>
Result Time(const std::vector<uint8_t>& buffer, Body&& body) {
    Result r;
    double start = ThreadSeconds();
    for (size_t p = 0; p < buffer.size(); p += 512) r.matches += body(p);
    r.seconds = ThreadSeconds() - start;
    return r;
}

bool Run(const char* name, const Types& types, const vx::FastMatcher& matcher, const std::vector<uint8_t>& buffer) {
    const vx::ByteSpan span(buffer);
    std::vector<uint32_t> out;
    Result plain = Time(buffer, [&](size_t p) {
        size_t n = 0;
        for (const auto& t : types) n += t->Matches(span, p);
        return n;
    });
    Result fast = Time(buffer, [&](size_t p) {
        out.clear();
        matcher.MatchIndices(span, p, out);
        return out.size();
    });
    // Identical results, position by position.
    bool same = plain.matches == fast.matches;
    for (size_t p = 0; same && p < buffer.size(); p += 512) {
        out.clear();
        matcher.MatchIndices(span, p, out);
        std::vector<uint32_t> expected;
        for (uint32_t i = 0; i < types.size(); ++i)
            if (types[i]->Matches(span, p)) expected.push_back(i);
        same = out == expected;
    }
    const double positions = double(buffer.size() / 512);
    std::printf("%-13s plain loop %10.0f positions/s   index %11.0f positions/s   %5.1fx   matches %zu%s\n", name,
                positions / plain.seconds, positions / fast.seconds, plain.seconds / fast.seconds, fast.matches,
                same ? "" : "   RESULTS DIFFER");
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32;
    if (mib == 0) mib = 32;
    Types types;
    for (auto& t : vx::BuildBuiltinTypes()) types.push_back(std::move(t));
    auto build = Clock::now();
    vx::FastMatcher matcher(types);
    std::printf("%zu formats; index built in %.1f us, %zu signatures tested at every position\n", types.size(),
                std::chrono::duration<double, std::micro>(Clock::now() - build).count(), matcher.UnanchoredCount());

    std::vector<uint8_t> random(mib << 20);
    std::mt19937_64 rng(1);
    for (size_t i = 0; i < random.size(); i += 8) {
        uint64_t v = rng();
        std::memcpy(random.data() + i, &v, 8);
    }
    std::vector<uint8_t> headers(random.size());
    std::memcpy(headers.data(), random.data(), headers.size());
    const std::vector<std::string> real = RealHeaders();
    for (size_t p = 0, k = 0; p < headers.size(); p += 512, ++k) {
        const std::string& h = real[k % real.size()];
        std::memcpy(headers.data() + p, h.data(), h.size());
    }
    bool ok = Run("random data", types, matcher, random);
    ok = Run("real headers", types, matcher, headers) && ok;
    return ok ? 0 : 1;
}
