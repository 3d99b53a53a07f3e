// Analysing and recovering through an Expert Witness (E01) container
// against the raw image of the same data: `vornex-cli analyze --fs-only` and
// `vornex-cli recover --fs-only` on each, wall and CPU time, best of N, page
// cache warm. The aim is at most 2x the raw image's time, decompression included.
//
//   build/bench/bench_container_read [--mib 256] [--dir /tmp] [--rounds 3] [--cli build/cli/vornex-cli]
//
// On the shared 2-core machine (load average about 20, 256 MiB volume, 192
// files of 1 MiB, best of 5): analyze 0.047 s raw, 0.044 s E01 (CPU 1.5x);
// recover 0.43 s raw, 1.32 s E01 (3.1x wall, 3.3x CPU: libewf inflates the
// text half, 32 KiB chunk by chunk, on the reading thread). Other runs under
// the same load gave 2.2x to 3.2x for recover: the 2x aim is not met.
//
// Everything is made in a fresh folder below --dir (a FAT32 image holding
// half incompressible and half text-like files, and its E01 made by
// ewfacquire with deflate:fast) and removed at the end; no path given as an
// argument is written.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "bench/BenchSupport.h"

namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Timing {
    double wall = 1e300;
    double cpu = 1e300;  // user + system time of the command's processes
};

double ChildrenCpu() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

Timing Time(const std::string& command) {
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = ChildrenCpu();
    if (vx::bench::Shell(command + " >/dev/null 2>&1") != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    return {vx::bench::Seconds(t0), ChildrenCpu() - c0};
}

Timing Best(int rounds, const std::function<Timing()>& run) {
    Timing best;
    for (int i = 0; i < rounds; ++i) {
        const Timing t = run();
        best.wall = std::min(best.wall, t.wall);
        best.cpu = std::min(best.cpu, t.cpu);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t mib = 256;
    std::string base = "/tmp", cli = "build/cli/vornex-cli";
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--mib") mib = std::strtoull(argv[i + 1], nullptr, 10);
        else if (a == "--dir") base = argv[i + 1];
        else if (a == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--cli") cli = argv[i + 1];
    }
    std::string pattern = base + "/vornex-container-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::string raw = dir + "/lab.raw", files = dir + "/files";
    std::printf("building a %llu MiB FAT32 image and its E01 in %s\n", (unsigned long long)mib, dir.c_str());
    vx::bench::Shell("mkdir -p " + Quote(files));
    const int count = int(mib * 3 / 4);  // files of 1 MiB, a quarter of the volume left free
    for (int i = 0; i < count; ++i) {
        const std::string path = files + "/f" + std::to_string(i) + ".bin";
        if (i % 2) {
            vx::bench::WritePseudoRandomFile(path, 1 << 20, uint64_t(i) + 1);
        } else {
            std::string text;
            for (int line = 0; text.size() < (1u << 20); ++line)
                text += "line " + std::to_string(line * 7919 % 100003) + " of a text-like file\n";
            text.resize(1u << 20);
            FILE* f = std::fopen(path.c_str(), "wb");
            if (f) {
                std::fwrite(text.data(), 1, text.size(), f);
                std::fclose(f);
            }
        }
    }
    if (vx::bench::Shell("mkfs.fat -C -F 32 " + Quote(raw) + " " + std::to_string(mib * 1024) + " >/dev/null && " +
                         "MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(raw) + " " + Quote(files) + "/* ::/ && cd " +
                         Quote(dir) + " && ewfacquire -u -q -t lab -c deflate:fast -f encase6 lab.raw >/dev/null 2>&1") !=
        0) {
        std::fprintf(stderr, "could not build the images (mkfs.fat, mtools, ewf-tools needed)\n");
        vx::bench::Shell("rm -rf " + Quote(dir));
        return 1;
    }
    const std::string env = "XDG_CONFIG_HOME=" + Quote(dir + "/config") + " nice -n 19 " + Quote(cli);
    auto analyze = [&](const std::string& image) { return Time(env + " analyze " + Quote(image) + " --fs-only"); };
    int n = 0;
    auto recover = [&](const std::string& image) {
        const std::string out = dir + "/out" + std::to_string(n++);
        const Timing t = Time(env + " recover " + Quote(image) + " --fs-only --to " + Quote(out));
        vx::bench::Shell("rm -rf " + Quote(out));
        return t;
    };
    const std::string e01 = dir + "/lab.E01";
    analyze(raw);
    analyze(e01);  // warm the page cache
    const Timing aRaw = Best(rounds, [&] { return analyze(raw); });
    const Timing aE01 = Best(rounds, [&] { return analyze(e01); });
    const Timing rRaw = Best(rounds, [&] { return recover(raw); });
    const Timing rE01 = Best(rounds, [&] { return recover(e01); });
    std::printf("%-10s %10s %10s %7s   %10s %10s %7s\n", "", "raw wall", "E01 wall", "ratio", "raw cpu", "E01 cpu",
                "ratio");
    for (auto [name, r, e] : {std::tuple{"analyze", aRaw, aE01}, std::tuple{"recover", rRaw, rE01}})
        std::printf("%-10s %10.3f %10.3f %7.2f   %10.3f %10.3f %7.2f\n", name, r.wall, e.wall, e.wall / r.wall, r.cpu,
                    e.cpu, e.cpu / r.cpu);
    std::printf("aim: E01 at most 2x the raw image (wall): %s\n",
                aE01.wall <= 2 * aRaw.wall && rE01.wall <= 2 * rRaw.wall ? "met" : "NOT met");
    vx::bench::Shell("rm -rf " + Quote(dir));
    return 0;
}
