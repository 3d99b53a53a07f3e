// vornex-cli analyze SOURCE [--fs-only | --scan-only] [--free-space-only] [--json]
//     [--partition N | --all-partitions]
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
#include "settings/ProgramSettings.h"
#include "signatures/FileTypeDatabase.h"

namespace vx::cli {

namespace {

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

// What the scan read from a lost file's structure.
std::string Extra(const FoundObject& r) {
    std::string out;
    if (r.IsFoundByContent())
        out += Format(", \"size_from_structure\": %s", r.Is(object_flag::SizeFromStructure) ? "true" : "false");
    if (r.width && r.height) out += Format(", \"width\": %u, \"height\": %u", r.width, r.height);
    return out;
}

void PrintJson(const CVolume& volume, const FoundObject& r, const std::string& prefix) {
    const std::string typeName = ObjectTypeName(r);
    std::printf("{\"id\": %d, \"parent\": %d, \"name\": %s, \"path\": %s, \"folder\": %s, \"deleted\": %s, "
                "\"lost\": %s, \"found_by_content\": %s, \"start\": %llu, \"size\": %s, \"type\": %d, "
                "\"type_name\": %s, \"created\": %s, \"modified\": %s, \"accessed\": %s%s}\n",
                r.id, r.parent, JsonString(r.name ? r.name : "").c_str(),
                JsonString(prefix + ObjectPath(volume.collection, r)).c_str(), r.IsFolder() ? "true" : "false",
                r.IsDeleted() ? "true" : "false", IsLostObject(volume.collection, r) ? "true" : "false",
                r.IsFoundByContent() ? "true" : "false", (unsigned long long)r.start, Size(r).c_str(), int(r.type),
                typeName.empty() ? "null" : JsonString(typeName).c_str(), Time(r.created).c_str(),
                Time(r.modified).c_str(), Time(r.accessed).c_str(), Extra(r).c_str());
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

}  // namespace

int CmdAnalyze(const Args& args) {
    std::vector<std::string> sources = Positionals(args);
    if (sources.size() != 1) return UsageError("analyze needs one SOURCE");
    std::vector<AnalysisTarget> targets;
    bool allPartitions = false;
    if (int status = ChooseTargets(sources[0], args, targets, allPartitions)) return status;

    const bool fsOnly = HasFlag(args, "--fs-only"), scanOnly = HasFlag(args, "--scan-only");
    if (fsOnly && scanOnly) return UsageError("--fs-only and --scan-only exclude each other");
    AnalysisController().sectorPhase = !fsOnly;
    AnalysisController().fileSystemPhase = !scanOnly;
    Settings().SetFlag(settings_offset::ScanFreeSpaceOnly, HasFlag(args, "--free-space-only"));
    Interrupted() = false;
    auto previous = std::signal(SIGINT, HandleInterrupt);
    ProgressLine progress;
    Printer printer;
    printer.json = HasFlag(args, "--json");
    bool complete = true, unreadable = false, noFileSystem = false;
    for (const AnalysisTarget& t : targets) {
        if (allPartitions)
            std::fprintf(stderr, "Analysing partition %d: %s\n", t.partition, TargetText(*t.volume).c_str());
        if (t.volume->typeCode == 0 && !scanOnly) {
            ReportNoFileSystem(*t.volume, sources[0], t.partition);
            noFileSystem = true;
            if (fsOnly) continue;
        }
        complete = RunAnalysis(*t.volume, progress) && complete;
        if (t.volume->unreadableSectors) {
            std::fprintf(stderr, "vornex-cli: %s: %llu unreadable sector(s) were scanned as zeros\n",
                         t.volume->DisplayName().c_str(), (unsigned long long)t.volume->unreadableSectors.load());
            unreadable = true;
        }
        printer.prefix = allPartitions ? Format("p%d:", t.partition) : std::string();
        std::string title = TargetText(*t.volume);
        if (allPartitions) title = printer.prefix + " " + title;
        PrintVolume(*t.volume, printer, title);
        if (!complete) break;
    }
    std::signal(SIGINT, previous);
    std::fflush(stdout);
    return complete && !unreadable && !noFileSystem ? kExitOk : kExitIncomplete;
}

}  // namespace vx::cli
