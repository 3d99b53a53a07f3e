// vornex-cli analyze SOURCE [--fs-only] [--json] [--partition N | --all-partitions]
// Analyses a volume (or the partitions of a disk) and prints what it found:
// an indented tree, or one JSON object per line.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <set>
#include <vector>

#include "cli/Cli.h"
#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/FatTime.h"
#include "fs/ObjectPath.h"
#include "fs/ObjectTypes.h"
#include "signatures/FileTypeDatabase.h"

namespace vx::cli {

namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

struct Target {
    CVolume* volume;
    int partition;  // 1-based, 0 for the source itself
};

struct Printer {
    bool json = false;
    std::string prefix;  // "p2:" with --all-partitions
};

std::string Size(const FoundObject& r) {
    return r.SizeKnown() ? Format("%llu", (unsigned long long)r.size) : "null";
}

std::string Time(uint64_t fileTime) {
    std::string text = FileTimeToIso8601(fileTime);
    return text.empty() ? "null" : JsonString(text);
}

void PrintJson(const CVolume& volume, const FoundObject& r, const std::string& prefix) {
    const std::string typeName = ObjectTypeName(r);
    std::printf("{\"id\": %d, \"parent\": %d, \"name\": %s, \"path\": %s, \"folder\": %s, \"deleted\": %s, "
                "\"lost\": %s, \"found_by_content\": %s, \"start\": %llu, \"size\": %s, \"type\": %d, "
                "\"type_name\": %s, \"created\": %s, \"modified\": %s, \"accessed\": %s}\n",
                r.id, r.parent, JsonString(r.name ? r.name : "").c_str(),
                JsonString(prefix + ObjectPath(volume.collection, r)).c_str(), r.IsFolder() ? "true" : "false",
                r.IsDeleted() ? "true" : "false", IsLostObject(volume.collection, r) ? "true" : "false",
                r.IsFoundByContent() ? "true" : "false", (unsigned long long)r.start, Size(r).c_str(), int(r.type),
                typeName.empty() ? "null" : JsonString(typeName).c_str(), Time(r.created).c_str(),
                Time(r.modified).c_str(), Time(r.accessed).c_str());
}

void PrintTreeLine(const FoundObject& r, int depth) {
    std::string line(size_t(depth) * 2, ' ');
    line += r.name ? r.name : "";
    if (r.IsFolder()) line += "/";
    else line += "  " + (r.SizeKnown() ? Format("%llu", (unsigned long long)r.size) : std::string("?"));
    if (r.IsDeleted()) line += "  deleted";
    std::printf("%s\n", line.c_str());
}

// Depth first below `parent`: folders first, then by name. Each folder id is
// expanded once, so folders that name each other as parents end the walk.
void PrintChildren(const CVolume& volume, int32_t parent, int depth, const Printer& out, std::set<int32_t>& expanded) {
    if (!expanded.insert(parent).second) return;
    std::vector<FoundObject> children = volume.collection.CopyChildren(parent);
    children.erase(std::remove_if(children.begin(), children.end(),
                                  [&](const FoundObject& r) {
                                      return r.IsVolumeNode() || (r.id == volume.collection.rootId && r.IsFolder() &&
                                                                  r.parent == volume.Id());
                                  }),
                   children.end());
    std::sort(children.begin(), children.end(), [](const FoundObject& a, const FoundObject& b) {
        if (a.IsFolder() != b.IsFolder()) return a.IsFolder();
        return std::string(a.name ? a.name : "") < std::string(b.name ? b.name : "");
    });
    for (const FoundObject& r : children) {
        if (out.json) PrintJson(volume, r, out.prefix);
        else PrintTreeLine(r, depth);
        if (r.IsFolder()) PrintChildren(volume, r.id, depth + 1, out, expanded);
    }
}

void PrintVolume(const CVolume& volume, const Printer& out, const std::string& title) {
    std::set<int32_t> expanded;
    if (!out.json) std::printf("%s\n", title.c_str());
    if (volume.analyser) PrintChildren(volume, volume.collection.rootId, 1, out, expanded);
    for (int32_t root : {int32_t(object_id::LostFolders), int32_t(object_id::LostFiles)}) {
        if (volume.collection.CopyChildren(root).empty()) continue;
        if (!out.json) std::printf("  %s/\n", LoadString(root == object_id::LostFolders ? str::LostFolders : str::LostFiles));
        PrintChildren(volume, root, 2, out, expanded);
    }
}

// Runs one analysis with a progress line; false when interrupted.
bool RunAnalysis(CVolume& volume, ProgressLine& progress) {
    CAnalysisController& controller = AnalysisController();
    controller.StartAnalysis(&volume);
    const std::string name = volume.DisplayName();
    while (!controller.WaitForAnalysis(&volume, 100)) {
        if (g_interrupted) {
            controller.StopAnalysis(&volume, true);
            controller.WaitForAnalysis(&volume);
            break;
        }
        const AnalysisState& state = TheAnalysisState();
        std::string text = Format("Analysing %s: %u folders, %u files", name.c_str(), volume.fsFoldersFound.load(),
                                  volume.fsFilesFound.load());
        if (state.phase == 0 && state.total != 0)
            text += Format(", sectors %llu%%", (unsigned long long)(state.progress * 100 / state.total));
        progress.Update(text);
    }
    progress.Finish();
    return !g_interrupted;
}

}  // namespace

int CmdAnalyze(const Args& args) {
    std::vector<std::string> sources = Positionals(args, {"--partition"});
    if (sources.size() != 1) return UsageError("analyze needs one SOURCE");
    std::string partitionText;
    const bool onePartition = OptionValue(args, "--partition", partitionText);
    const bool allPartitions = HasFlag(args, "--all-partitions");
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

    std::unique_ptr<CVolume> opened = OpenSource(sources[0]);
    if (!opened) return kExitError;
    CVolume* source = Computer().Volumes().Append(std::move(opened));
    FileTypes().EnsureLoaded();
    (void)source->ParseBootSector();
    const std::vector<CVolume*> children = source->Children();
    for (CVolume* v : children)
        if (v->fileSystemName == "Unknown" && v->typeCode != 0) v->SetFileSystemName(v->typeCode);
    if (source->fileSystemName == "Unknown" && source->typeCode != 0) source->SetFileSystemName(source->typeCode);

    std::vector<Target> targets;
    if (onePartition) {
        if (size_t(partition) > children.size()) {
            std::fprintf(stderr, "vornex-cli: %s: no partition %d (%zu found)\n", sources[0].c_str(), partition,
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
    for (const Target& t : targets)
        if (t.partition != 0 && !allPartitions)
            std::fprintf(stderr, "Analysing partition %d: %s (%s)\n", t.partition, t.volume->DisplayName().c_str(),
                         t.volume->fileSystemName.c_str());

    AnalysisController().sectorPhase = !HasFlag(args, "--fs-only");
    g_interrupted = false;
    auto previous = std::signal(SIGINT, OnInterrupt);
    ProgressLine progress;
    Printer printer;
    printer.json = HasFlag(args, "--json");
    bool complete = true;
    for (const Target& t : targets) {
        if (allPartitions)
            std::fprintf(stderr, "Analysing partition %d: %s (%s)\n", t.partition, t.volume->DisplayName().c_str(),
                         t.volume->fileSystemName.c_str());
        complete = RunAnalysis(*t.volume, progress) && complete;
        printer.prefix = allPartitions ? Format("p%d:", t.partition) : std::string();
        std::string title = t.volume->DisplayName() + " (" + t.volume->fileSystemName + ")";
        if (allPartitions) title = printer.prefix + " " + title;
        PrintVolume(*t.volume, printer, title);
        if (!complete) break;
    }
    std::signal(SIGINT, previous);
    std::fflush(stdout);
    return complete ? kExitOk : kExitIncomplete;
}

}  // namespace vx::cli
