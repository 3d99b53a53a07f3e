// vornex-cli search-lost SOURCE [--json]: the lost-volume search.
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "cli/Cli.h"
#include "common/Strings.h"
#include "common/Text.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/AnalysisState.h"

namespace vx::cli {

void WaitForScan(CVolume& volume, const char* what) {
    ProgressLine progress;
    AnalysisState& analysis = TheAnalysisState();
    const auto start = std::chrono::steady_clock::now();
    const uint64_t bytesPerUnit = volume.sectorsPerCluster ? uint64_t(volume.sectorsPerCluster) * kSectorSize : 512;
    while (volume.sectorAnalysisActive) {
        if (Interrupted()) analysis.running = 0;  // the scan ends at its next check
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        progress.Update(ScanProgressText(what, analysis.progress, analysis.total, bytesPerUnit, seconds));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    volume.WaitForSectorAnalysis();
    progress.Finish();
}

CVolume* OpenListedSource(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        if (CVolume* image = Computer().LoadImage(path)) return image;
    }
    std::unique_ptr<CVolume> volume = OpenSource(path);
    if (!volume) return nullptr;
    CVolume* listed = Computer().Volumes().Append(std::move(volume));
    listed->ParseBootSector();
    return listed;
}

int CmdSearchLost(const Args& args) {
    std::vector<std::string> sources = Positionals(args);
    if (sources.size() != 1) return UsageError("search-lost needs one SOURCE");
    CVolume* volume = OpenListedSource(sources[0]);
    if (!volume) return kExitError;
    const size_t before = volume->Children().size();
    Interrupted() = false;
    auto previous = std::signal(SIGINT, HandleInterrupt);
    if (!Computer().SearchLostDisks(*volume)) return kExitError;
    WaitForScan(*volume, "Searching");
    std::signal(SIGINT, previous);

    const bool json = HasFlag(args, "--json");
    std::vector<CVolume*> children = volume->Children();
    if (!json) std::printf("%-16s %-5s %-8s %-12s %s\n", "START", "TYPE", "FS", "LABEL", "BYTES");
    for (size_t i = before; i < children.size(); ++i) {
        CVolume& found = *children[i];
        // A Found volume's descriptor comes from its boot sector alone.
        if (found.fileSystemName == "Unknown" && found.typeCode) found.SetFileSystemName(found.typeCode);
        const std::string label = TrimSpaces(found.label);
        // The size the boot sector gives; the descriptor's total bytes run to the end of the source.
        const unsigned long long bytes =
            found.totalSectors ? found.totalSectors * kSectorSize : (unsigned long long)found.totalBytes;
        if (json) {
            std::printf("{\"start\": %llu, \"type_code\": %u, \"fs_name\": %s, \"label\": %s, \"total_bytes\": %llu}\n",
                        (unsigned long long)found.rootRecord.start, found.typeCode,
                        JsonString(found.fileSystemName).c_str(), JsonString(label).c_str(), bytes);
        } else {
            std::printf("%-16llu %-5u %-8s %-12s %llu\n", (unsigned long long)found.rootRecord.start, found.typeCode,
                        found.fileSystemName.c_str(), label.c_str(), bytes);
        }
    }
    if (Interrupted()) return kExitIncomplete;
    if (volume->unreadableSectors) {
        std::fprintf(stderr, "vornex-cli: %llu unreadable sector(s) were searched as zeros\n",
                     (unsigned long long)volume->unreadableSectors.load());
        return kExitIncomplete;
    }
    return kExitOk;
}

}  // namespace vx::cli
