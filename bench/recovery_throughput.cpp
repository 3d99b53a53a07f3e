// Recovery throughput of one large contiguous file against cp of the same
// bytes, in one run. The image holds the file's bytes from its first byte,
// so `cp IMAGE` copies exactly what recovery writes.
//
//   bench_recovery_throughput [--mib 1024] [--dir /tmp] [--rounds 3]
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "recovery/RecoveryJob.h"
#include "settings/ProgramSettings.h"

namespace {

using vx::bench::Seconds;
using vx::bench::Shell;

bool MakeImage(const std::string& path, uint64_t bytes) { return vx::bench::WritePseudoRandomFile(path, bytes, 0x9E3779B97F4A7C15ULL); }

// CPU seconds (user and system) of this process or of its finished children.
double Cpu(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t mib = 1024;
    std::string dir = "/tmp";
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--mib")) mib = std::strtoull(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--dir")) dir = argv[i + 1];
        else if (!std::strcmp(argv[i], "--rounds")) rounds = std::atoi(argv[i + 1]);
    }
    const std::string work = vx::bench::MakeWorkDir(dir, "vornex-bench-throughput");
    if (work.empty()) return 1;
    const std::string image = work + "/image.bin";
    const std::string out = work + "/recovered";
    const uint64_t bytes = mib << 20;
    if (!MakeImage(image, bytes)) {
        std::fprintf(stderr, "cannot write %s\n", image.c_str());
        return 1;
    }

    setenv("XDG_CONFIG_HOME", work.c_str(), 1);  // never touch the user's settings
    vx::Settings().InitialiseSettings();
    vx::Settings().SetText(vx::settings_offset::DestinationFolder, 4096, out);
    vx::Settings().SetFlag(vx::settings_offset::KeepFolderStructure, false);
    vx::Settings().SetFlag(vx::settings_offset::ConfirmFileOverwrite, false);
    std::unique_ptr<vx::CVolume> volume = vx::Computer().OpenSource(image);
    if (!volume) return 1;
    vx::FoundObject file;
    file.name = "file.bin";
    file.start = 0;
    file.size = bytes;

    double bestCp = 1e9, bestRecover = 1e9, cpuCp = 1e9, cpuRecover = 1e9;
    Shell("cat '" + image + "' > /dev/null");  // both start from a warm cache
    for (int round = 0; round < rounds; ++round) {
        Shell("rm -rf '" + out + "' '" + work + "/cp.bin' && sync");
        double cpu = Cpu(RUSAGE_CHILDREN);
        auto t0 = std::chrono::steady_clock::now();
        // cp runs at the recovery thread's priority (the lowest).
        if (Shell("nice -n 19 cp '" + image + "' '" + work + "/cp.bin'") != 0) return 1;
        bestCp = std::min(bestCp, Seconds(t0));
        cpuCp = std::min(cpuCp, Cpu(RUSAGE_CHILDREN) - cpu);
        Shell("rm -f '" + work + "/cp.bin' && sync");

        vx::CRecoveryJob job(vx::CRecoveryJob::Kind::Recovery);
        job.objects = {&file};
        cpu = Cpu(RUSAGE_SELF);
        t0 = std::chrono::steady_clock::now();
        job.StartRecovery(volume.get());
        job.Wait();
        bestRecover = std::min(bestRecover, Seconds(t0));
        cpuRecover = std::min(cpuRecover, Cpu(RUSAGE_SELF) - cpu);
        if (job.Totals().written != 1) {
            std::fprintf(stderr, "recovery did not write the file whole\n");
            return 1;
        }
    }
    const double mb = double(bytes) / 1e6;
    std::printf("file: %llu MiB, best of %d rounds\n", (unsigned long long)mib, rounds);
    std::printf("cp:        %.3f s  %.0f MB/s  (%.3f s CPU)\n", bestCp, mb / bestCp, cpuCp);
    std::printf("recovery:  %.3f s  %.0f MB/s  (%.3f s CPU)\n", bestRecover, mb / bestRecover, cpuRecover);
    std::printf("recovery / cp throughput: %.0f%% wall, %.0f%% by CPU time\n", 100.0 * bestCp / bestRecover,
                100.0 * cpuCp / cpuRecover);
    Shell("rm -rf '" + work + "'");
    return 0;
}
