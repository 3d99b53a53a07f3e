// The NTFS analysis of a volume with many files, against The Sleuth Kit's
// `fls -r` on the same image: both list every file and folder of the MFT,
// live and deleted. The image is made once with mkntfs and filled through an
// ntfs-3g mount (needs FUSE, as root); pass a path to keep or reuse it.
//
//   bench_ntfs_analysis [files] [image]
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchSupport.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/AnalysisState.h"
#include "fs/FileSystem_NTFS.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

// 100 files per folder; one file in eight is large enough to leave its
// record, one in twenty is deleted again.
bool MakeImage(const std::string& image, const std::string& work, int files) {
    const std::string mnt = work + "/mnt";
    std::filesystem::create_directories(mnt);
    if (FILE* f = vx::bench::CreateNewFile(image)) std::fclose(f);
    else return false;
    const uint64_t megabytes = 64 + uint64_t(files) * 3 / 1024;
    if (Shell("truncate -s " + std::to_string(megabytes) + "M '" + image + "' && mkntfs -F -Q -q '" + image +
              "' 2>/dev/null") != 0)
        return false;
    if (Shell("ntfs-3g '" + image + "' '" + mnt + "'") != 0) return false;
    std::string data(6000, 'x');
    for (int i = 0; i < files; ++i) {
        const std::string folder = mnt + "/folder" + std::to_string(i / 100);
        if (i % 100 == 0) std::filesystem::create_directory(folder);
        const std::string path = folder + "/file " + std::to_string(i) + ".txt";
        std::ofstream(path, std::ios::binary).write(data.data(), i % 8 == 0 ? 6000 : 100 + i % 500);
        if (i % 20 == 7) std::filesystem::remove(path);
    }
    return Shell("umount '" + mnt + "'") == 0;
}

double AnalyseOnce(const std::string& image, uint64_t& objects, uint64_t& records) {
    std::unique_ptr<vx::CVolume> volume = vx::Computer().OpenSource(image);
    volume->typeCode = 7;
    volume->collection.rootId = 5;
    auto* fs = new vx::CFileSystem_NTFS(volume.get());
    volume->analyser.reset(fs);
    vx::TheAnalysisState().running = 1;
    const Clock::time_point start = Clock::now();
    fs->ParseVolume();
    const double ms = Ms(start);
    vx::TheAnalysisState().running = 0;
    objects = volume->collection.Count();
    records = fs->RecordCount();
    return ms;
}

double FlsOnce(const std::string& image, const std::string& work, uint64_t& lines) {
    const std::string out = work + "/fls.txt";
    const Clock::time_point start = Clock::now();
    Shell("fls -r -f ntfs '" + image + "' > '" + out + "'");
    const double ms = Ms(start);
    std::ifstream in(out);
    std::string line;
    lines = 0;
    while (std::getline(in, line)) ++lines;
    std::filesystem::remove(out);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 50000;
    std::string image = argc > 2 ? argv[2] : "/tmp/vornex-bench-ntfs.img";
    if (Shell("command -v fls >/dev/null") != 0) {
        std::fprintf(stderr, "fls (sleuthkit) is not installed\n");
        return 1;
    }
    // fls's listing and the mount point live in a folder of this run.
    const std::string work = vx::bench::MakeWorkDir("/tmp", "vornex-bench-ntfs");
    if (work.empty()) return 1;
    struct Cleanup {
        std::string dir;
        ~Cleanup() { std::filesystem::remove_all(dir); }
    } cleanup{work};
    struct stat st{};
    if (stat(image.c_str(), &st) != 0) {
        if (access("/dev/fuse", R_OK | W_OK) != 0) {
            std::fprintf(stderr, "FUSE is not available: cannot build the image\n");
            return 1;
        }
        const Clock::time_point start = Clock::now();
        if (!MakeImage(image, work, files)) {
            std::fprintf(stderr, "could not build %s\n", image.c_str());
            return 1;
        }
        std::printf("image with %d files built in %.1f s\n", files, Ms(start) / 1000);
    }
    uint64_t objects = 0, records = 0, lines = 0;
    // Warm the page cache for both, then take the best of three.
    AnalyseOnce(image, objects, records);
    FlsOnce(image, work, lines);
    double ours = 1e18, theirs = 1e18;
    for (int i = 0; i < 3; ++i) {
        ours = std::min(ours, AnalyseOnce(image, objects, records));
        theirs = std::min(theirs, FlsOnce(image, work, lines));
    }
    struct rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("MFT records: %llu, objects listed: %llu, fls lines: %llu\n", (unsigned long long)records,
                (unsigned long long)objects, (unsigned long long)lines);
    std::printf("vornex NTFS analysis: %.1f ms\n", ours);
    std::printf("fls -r:               %.1f ms\n", theirs);
    std::printf("ratio fls / vornex:   %.2f\n", theirs / ours);
    std::printf("peak RSS of this program: %ld MiB\n", usage.ru_maxrss / 1024);
    return 0;
}
