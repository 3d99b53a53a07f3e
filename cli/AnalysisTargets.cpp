// The analysis plumbing that analyze and recover share: which volumes of a
// source to analyse, and one analysis run with a progress line that Ctrl+C
// ends.
#include <atomic>
#include <chrono>
#include <cstdio>

#include "cli/Cli.h"
#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "device/PartitionTable.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "signatures/FileTypeDatabase.h"

namespace vx::cli {

std::atomic<bool>& Interrupted() {
    static std::atomic<bool> interrupted{false};
    return interrupted;
}

void HandleInterrupt(int) { Interrupted() = true; }

CVolume* VolumeAtOffset(CVolume& source, uint64_t offset) {
    if (offset == 0) return &source;
    uint8_t boot[kSectorSize] = {};
    if (offset % kSectorSize == 0) (void)source.ReadSectors(boot, offset / kSectorSize, 1);
    FoundObject report;
    report.start = offset;
    report.parent = source.Id();
    report.type = int16_t(CVolume::DetectFileSystem(boot));
    PartitionEntry exact;  // taken as given, not moved to where a backup's volume starts
    exact.sector = offset / kSectorSize;
    if (CVolume* added = Computer().AddFoundVolume(report, &exact)) return added;
    for (CVolume* child : source.Children())
        if (child->rootRecord.start == offset) return child;
    return nullptr;
}

bool ParseOffset(const std::string& text, uint64_t& offset) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    offset = std::stoull(text);
    return true;
}

int ChooseTargets(const std::string& path, const Args& args, std::vector<AnalysisTarget>& targets,
                  bool& allPartitions) {
    std::string partitionText, offsetText;
    const bool onePartition = OptionValue(args, "--partition", partitionText);
    const bool atOffset = OptionValue(args, "--offset", offsetText);
    const bool lostPartitions = HasFlag(args, "--lost-partitions");
    allPartitions = HasFlag(args, "--all-partitions");
    if (int(onePartition) + int(allPartitions) + int(atOffset) + int(lostPartitions) > 1)
        return UsageError("--partition, --all-partitions, --offset and --lost-partitions exclude each other");
    uint64_t offset = 0;
    if (atOffset && !ParseOffset(offsetText, offset)) return UsageError("--offset needs a byte offset");
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

    if (atOffset) {
        if (offset >= source->totalBytes) {
            std::fprintf(stderr, "vornex-cli: %s: offset %llu lies beyond its %llu bytes\n", path.c_str(),
                         (unsigned long long)offset, (unsigned long long)source->totalBytes);
            return kExitError;
        }
        CVolume* volume = VolumeAtOffset(*source, offset);
        if (!volume) return kExitError;
        if (volume->fileSystemName == "Unknown" && volume->typeCode != 0) volume->SetFileSystemName(volume->typeCode);
        targets.push_back({volume, 0});
    } else if (lostPartitions) {
        // Every volume the search finds, as --all-partitions takes a table's.
        Interrupted() = false;
        if (!Computer().SearchLostDisks(*source)) return kExitError;
        WaitForScan(*source, "Searching");
        if (Interrupted()) return kExitIncomplete;
        const std::vector<CVolume*> found = source->Children();
        for (size_t i = 0; i < found.size(); ++i) {
            if (found[i]->fileSystemName == "Unknown" && found[i]->typeCode != 0)
                found[i]->SetFileSystemName(found[i]->typeCode);
            targets.push_back({found[i], int(i) + 1});
        }
        if (targets.empty()) {
            std::fprintf(stderr, "vornex-cli: %s: the search found no FAT or NTFS volume\n", path.c_str());
            return kExitIncomplete;
        }
        allPartitions = true;
    } else if (onePartition) {
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
