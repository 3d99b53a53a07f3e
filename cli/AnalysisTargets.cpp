// The analysis plumbing that analyze and recover share: which volumes of a
// source to analyse, and one analysis run with a progress line that Ctrl+C
// ends.
#include <atomic>
#include <chrono>
#include <cstdio>

#include "cli/Cli.h"
#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "signatures/FileTypeDatabase.h"

namespace vx::cli {

std::atomic<bool>& Interrupted() {
    static std::atomic<bool> interrupted{false};
    return interrupted;
}

void HandleInterrupt(int) { Interrupted() = true; }

int ChooseTargets(const std::string& path, const Args& args, std::vector<AnalysisTarget>& targets,
                  bool& allPartitions) {
    std::string partitionText;
    const bool onePartition = OptionValue(args, "--partition", partitionText);
    allPartitions = HasFlag(args, "--all-partitions");
    if (onePartition && allPartitions) return UsageError("--partition and --all-partitions exclude each other");
    int partition = 0;
    if (onePartition) {
        try {
            partition = std::stoi(partitionText);
        } catch (...) {
            partition = 0;
        }
        if (partition < 1) return UsageError("--partition needs a number from 1");
    }

    std::unique_ptr<CVolume> opened = OpenSource(path);
    if (!opened) return kExitError;
    CVolume* source = Computer().Volumes().Append(std::move(opened));
    FileTypes().EnsureLoaded();
    (void)source->ParseBootSector();
    const std::vector<CVolume*> children = source->Children();
    for (CVolume* v : children)
        if (v->fileSystemName == "Unknown" && v->typeCode != 0) v->SetFileSystemName(v->typeCode);
    if (source->fileSystemName == "Unknown" && source->typeCode != 0) source->SetFileSystemName(source->typeCode);

    if (onePartition) {
        if (size_t(partition) > children.size()) {
            std::fprintf(stderr, "vornex-cli: %s: no partition %d (%zu found)\n", path.c_str(), partition,
                         children.size());
            return kExitError;
        }
        targets.push_back({children[size_t(partition) - 1], partition});
    } else if (allPartitions && !children.empty()) {
        for (size_t i = 0; i < children.size(); ++i) targets.push_back({children[i], int(i) + 1});
    } else if (source->typeCode == 0) {
        for (size_t i = 0; i < children.size() && targets.empty(); ++i)
            if (children[i]->typeCode != 0) targets.push_back({children[i], int(i) + 1});
        if (targets.empty()) targets.push_back({source, 0});
    } else {
        targets.push_back({source, 0});
    }
    for (const AnalysisTarget& t : targets)
        if (t.partition != 0 && !allPartitions)
            std::fprintf(stderr, "Analysing partition %d: %s\n", t.partition, TargetText(*t.volume).c_str());
    return kExitOk;
}

// Runs one analysis with a progress line; false when interrupted.
bool RunAnalysis(CVolume& volume, ProgressLine& progress) {
    CAnalysisController& controller = AnalysisController();
    // Read before the analysis thread starts: it rewrites the descriptor.
    const uint64_t bytesPerUnit = uint64_t(volume.sectorsPerCluster ? volume.sectorsPerCluster : 1) * 512;
    const std::string name = volume.DisplayName();
    controller.StartAnalysis(&volume);
    bool scanning = false;
    std::chrono::steady_clock::time_point scanStart;
    while (!controller.WaitForAnalysis(&volume, 100)) {
        if (Interrupted()) {
            controller.StopAnalysis(&volume, true);
            controller.WaitForAnalysis(&volume);
            break;
        }
        const AnalysisState& state = TheAnalysisState();
        if (state.phase == 0 && state.total != 0) {
            // The sector scan: how far, how fast, how long still.
            if (!scanning) scanStart = std::chrono::steady_clock::now();
            scanning = true;
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - scanStart).count();
            progress.Update(ScanProgressText(("Scanning " + name).c_str(), state.progress, state.total, bytesPerUnit,
                                             seconds) +
                            Format(", %u lost files", volume.sectorFilesFound.load()));
            continue;
        }
        progress.Update(Format("Analysing %s: %u folders, %u files", name.c_str(), volume.fsFoldersFound.load(),
                               volume.fsFilesFound.load()));
    }
    progress.Finish();
    return !Interrupted();
}

}  // namespace vx::cli
