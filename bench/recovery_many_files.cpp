// Recovery of every file of a FAT32 image with many files in many folders:
// `vornex-cli recover` (analysis and recovery) against The Sleuth Kit's
// `tsk_recover -e` on the same image, in one run.
//
//   bench_recovery_many_files [--files 50000] [--dir /tmp] [--rounds 2] [--cli build/cli/vornex-cli]
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"

namespace {

double Seconds(const std::chrono::steady_clock::time_point& since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

// CPU seconds (user and system) used by finished child processes so far.
double ChildCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// A tree of `files` files: 100 top folders with subfolders of 50 files each,
// sizes from 100 bytes to 16 KiB.
bool MakeTree(const std::string& root, unsigned files, uint64_t& bytes) {
    uint32_t x = 2463534242u;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    std::vector<char> data(16384);
    bytes = 0;
    for (unsigned i = 0; i < files; ++i) {
        const unsigned folder = i / 50;
        const std::string dir = root + "/top" + std::to_string(folder % 100) + "/sub" + std::to_string(folder / 100);
        if (i % 50 == 0 && Shell("mkdir -p " + Quote(dir)) != 0) return false;
        const size_t size = 100 + next() % (data.size() - 100);
        for (size_t k = 0; k < size; ++k) data[k] = char(next());
        const std::string path = dir + "/file number " + std::to_string(i) + ".dat";
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return false;
        std::fwrite(data.data(), 1, size, f);
        std::fclose(f);
        bytes += size;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned files = 50000;
    std::string dir = "/tmp", cli = "build/cli/vornex-cli";
    int rounds = 2;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--files")) files = unsigned(std::strtoul(argv[i + 1], nullptr, 10));
        else if (!std::strcmp(argv[i], "--dir")) dir = argv[i + 1];
        else if (!std::strcmp(argv[i], "--rounds")) rounds = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--cli")) cli = argv[i + 1];
    }
    if (Shell("command -v tsk_recover >/dev/null") != 0) {
        std::fprintf(stderr, "tsk_recover is missing (Debian package sleuthkit)\n");
        return 1;
    }
    const std::string work = vx::bench::MakeWorkDir(dir, "vornex-bench-many");
    if (work.empty()) return 1;
    const std::string src = work + "/src", image = work + "/many.img";
    Shell("mkdir -p " + Quote(src));
    uint64_t bytes = 0;
    auto t0 = std::chrono::steady_clock::now();
    if (!MakeTree(src, files, bytes)) return 1;
    // Room for the data, the clusters' slack and the folders.
    const uint64_t kib = bytes / 1024 * 13 / 10 + uint64_t(files) * 4 + 65536;
    // FAT32 needs at least 65525 clusters, or mtools takes it for FAT16.
    const int sectorsPerCluster = kib * 2 / 8 >= 70000 ? 8 : 1;
    if (Shell("mkfs.fat -C -F 32 -s " + std::to_string(sectorsPerCluster) + " " + Quote(image) + " " +
              std::to_string(kib) + " >/dev/null") != 0 ||
        Shell("cd " + Quote(src) + " && MTOOLS_SKIP_CHECK=1 mcopy -s -m -i " + Quote(image) + " top* ::/") != 0) {
        std::fprintf(stderr, "building the image failed\n");
        return 1;
    }
    std::printf("image: %u files, %.1f MB of data, built in %.1f s\n", files, double(bytes) / 1e6, Seconds(t0));
    Shell("cat " + Quote(image) + " > /dev/null");

    const std::string config = work + "/config";
    // Both run at the lowest priority, where the recovery thread runs.
    double bestVornex = 1e9, bestTsk = 1e9, cpuVornex = 1e9, cpuTsk = 1e9;
    for (int round = 0; round < rounds; ++round) {
        Shell("rm -rf " + Quote(work + "/out-vornex") + " " + Quote(work + "/out-tsk") + " && sync");
        double cpu = ChildCpu();
        t0 = std::chrono::steady_clock::now();
        if (Shell("XDG_CONFIG_HOME=" + Quote(config) + " nice -n 19 " + Quote(cli) + " recover " + Quote(image) +
                  " --to " + Quote(work + "/out-vornex") + " > " + Quote(work + "/vornex.txt") + " 2>&1") != 0) {
            std::fprintf(stderr, "vornex-cli recover failed; see %s/vornex.txt\n", work.c_str());
            return 1;
        }
        bestVornex = std::min(bestVornex, Seconds(t0));
        cpuVornex = std::min(cpuVornex, ChildCpu() - cpu);
        Shell("sync");
        cpu = ChildCpu();
        t0 = std::chrono::steady_clock::now();
        if (Shell("nice -n 19 tsk_recover -e " + Quote(image) + " " + Quote(work + "/out-tsk") + " > /dev/null 2>&1") != 0) {
            std::fprintf(stderr, "tsk_recover failed\n");
            return 1;
        }
        bestTsk = std::min(bestTsk, Seconds(t0));
        cpuTsk = std::min(cpuTsk, ChildCpu() - cpu);
    }
    // Both must have written every file with the same bytes.
    const bool same = Shell("diff -r " + Quote(src) + " " + Quote(work + "/out-vornex") + " > /dev/null") == 0;
    std::printf("vornex-cli recover: %.2f s wall, %.2f s CPU  (%s)\n", bestVornex, cpuVornex,
                same ? "every file identical" : "FILES DIFFER");
    std::printf("tsk_recover -e:     %.2f s wall, %.2f s CPU\n", bestTsk, cpuTsk);
    std::printf("vornex / tsk:       %.2f wall, %.2f CPU\n", bestVornex / bestTsk, cpuVornex / cpuTsk);
    Shell("rm -rf " + Quote(work));
    return same ? 0 : 1;
}
