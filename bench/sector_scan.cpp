// Sector-scan throughput against the page-cache read limit of this machine.
//
//   build/bench/bench_sector_scan [IMAGE] [--size-mib N] [--workers N]
//
// Reads IMAGE (never writes it), or makes (once) its own image of N MiB
// (default 1024) in /tmp of pseudo-random bytes with a real file header every MiB, reads it once to warm the page cache, then in
// one run times `cat IMAGE > /dev/null` and the sector scan with the full
// built-in format table (one worker, then the given number), both at the
// lowest priority (the scan's own), and prints both throughputs, their ratio,
// the CPU time each spends per GiB, and the peak resident memory.
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "settings/ProgramSettings.h"
#include "signatures/SectorScan.h"
#include "signatures/SectorScanMatcher.h"

namespace {

double CpuSeconds(int who) {
    struct rusage u{};
    ::getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Makes the image at `path`, which must not exist yet.
bool MakeImage(const std::string& path, uint64_t mib) {
    const char* headers[] = {"\xFF\xD8\xFF\xE0", "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", "PK\x03\x04", "%PDF-1.4",
                             "GIF89a", "RIFF\0\0\0\0WAVEfmt "};
    const size_t lengths[] = {4, 16, 4, 8, 6, 15};
    FILE* out = vx::bench::CreateNewFile(path);
    if (!out) return false;
    std::vector<uint64_t> block((1 << 20) / 8);
    uint64_t x = 0x9E3779B97F4A7C15ull;
    for (uint64_t m = 0; m < mib; ++m) {
        for (uint64_t& w : block) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            w = x;
        }
        std::memcpy(block.data(), headers[m % 6], lengths[m % 6]);
        std::fwrite(block.data(), 1, block.size() * 8, out);
    }
    return std::fclose(out) == 0;
}

double CatSeconds(const std::string& path) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto t = std::chrono::steady_clock::now();
        // At the scan's own priority (the lowest), so that both meet the same competition.
        if (std::system(("nice -n 19 cat '" + path + "' > /dev/null").c_str()) != 0) return 0;
        best = std::min(best, Seconds(t));
    }
    return best;
}

class CountingSink final : public vx::IScanSink {
public:
    void OnScanFound(std::unique_ptr<vx::FoundObject>) override { ++count; }
    std::atomic<uint64_t> count{0};
};

double ScanSeconds(const std::string& path, uint32_t workers, const vx::IScanMatcher& matcher, uint64_t& found) {
    vx::Settings().SetWord(vx::settings_offset::ScanWorkerCount, workers);
    double best = 1e9;
    for (int i = 0; i < 2; ++i) {
        auto volume = vx::Computer().OpenSource(path);
        if (!volume) return 0;
        CountingSink sink;
        std::atomic<int32_t> running{0};
        std::atomic<uint64_t> total{0}, progress{0};
        vx::CSectorScan scan(*volume, matcher, sink, vx::ScanControl{running, total, progress, 0});
        auto t = std::chrono::steady_clock::now();
        scan.RunScan();
        best = std::min(best, Seconds(t));
        found = sink.count;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    uint64_t mib = 1024;
    uint32_t workers = 2;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--size-mib" && i + 1 < argc) mib = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--workers" && i + 1 < argc) workers = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        else path = a;
    }
    struct stat st{};
    if (!path.empty()) {
        // A given image is only ever read, whatever its size.
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < (1 << 20)) {
            std::fprintf(stderr, "%s: not an image file of 1 MiB or more\n", path.c_str());
            return 1;
        }
        mib = uint64_t(st.st_size) >> 20;
    } else {
        // Its own image, named by its size; one left by an earlier run is reused.
        path = "/tmp/vornex-scan-bench-" + std::to_string(mib) + "MiB.img";
        if (::stat(path.c_str(), &st) == 0 && uint64_t(st.st_size) == mib << 20) {
            std::fprintf(stderr, "reusing %s\n", path.c_str());
        } else if (!MakeImage(path, mib)) {
            return 1;
        }
    }
    vx::Settings().InitialiseSettings();
    vx::CDatabaseScanMatcher matcher;
    CatSeconds(path);  // warm the page cache

    const double bytes = double(mib << 20);
    double cpu = CpuSeconds(RUSAGE_CHILDREN);
    const double cat = CatSeconds(path);
    const double catCpu = (CpuSeconds(RUSAGE_CHILDREN) - cpu) / 3;
    uint64_t found1 = 0, foundN = 0;
    cpu = CpuSeconds(RUSAGE_SELF);
    const double one = ScanSeconds(path, 1, matcher, found1);
    const double oneCpu = (CpuSeconds(RUSAGE_SELF) - cpu) / 2;
    const double many = ScanSeconds(path, workers, matcher, foundN);
    struct rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);

    auto mbs = [&](double s) { return s > 0 ? bytes / s / 1e6 : 0.0; };
    std::printf("image: %s, %llu MiB, %zu formats\n", path.c_str(), (unsigned long long)mib, matcher.FormatCount());
    std::printf("cat IMAGE > /dev/null: %8.1f MB/s\n", mbs(cat));
    std::printf("scan, 1 worker:        %8.1f MB/s  (%.0f%% of cat, %llu candidates)\n", mbs(one),
                100.0 * mbs(one) / mbs(cat), (unsigned long long)found1);
    std::printf("scan, %u workers:       %8.1f MB/s  (%.0f%% of cat, %llu candidates)\n", workers, mbs(many),
                100.0 * mbs(many) / mbs(cat), (unsigned long long)foundN);
    std::printf("CPU time per GiB:      cat %.2f s, scan with 1 worker %.2f s (reading and matching)\n",
                catCpu * 1024.0 / double(mib), oneCpu * 1024.0 / double(mib));
    std::printf("peak resident memory:  %8.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
