// vornex-cli recover SOURCE --to DIR [--partition N | --all-partitions] [--fs-only | --scan-only]
//     [--deleted-only] [--live-only] [--lost] [--match GLOB] [--id ID ...] [--flat]
//     [--overwrite] [--size-rule typical|next-any|next-same|BYTES] [--free-space-only]
//     [--min-size BYTES] [--min-pixels WxH]
// Analyses the source, selects files and recovers them below DIR. A lost
// file takes the size its own structure gives; --size-rule decides the rest.
#include <fnmatch.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cli/Cli.h"
#include "common/ScanRate.h"
#include "common/Strings.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/ObjectPath.h"
#include "recovery/Destination.h"
#include "recovery/RecoverList.h"
#include "recovery/RecoveryJob.h"
#include "settings/ProgramSettings.h"

namespace vx::cli {

namespace {

struct RecoverOptions {
    std::string to;
    bool deletedOnly = false;
    bool liveOnly = false;
    bool lost = false;
    bool fsOnly = false;
    bool scanOnly = false;  // the sector scan alone: only lost files
    bool freeSpaceOnly = false;
    uint64_t minSize = 0;      // lost files known to be smaller are left out
    uint32_t minWidth = 0, minHeight = 0;  // images known to be smaller are left out
    bool flat = false;
    bool overwrite = false;
    std::string match;
    std::vector<int32_t> ids;
    ProbableSizeAnswer size;  // how sizes the scan did not settle are decided
};

// Answers the engine's questions from the options.
class RecoverNotifier : public CliNotifier {
public:
    explicit RecoverNotifier(const RecoverOptions& options) : options_(options) {}
    // The option decides the sizes the scan could not read from the file
    // itself; a size the scan did read is kept.
    ProbableSizeAnswer AskProbableSize(CVolume*, const FoundObject& object, const ProbableSizeQuestion&) override {
        if (object.SizeKnown()) return {kSizeOk, kSizeRuleCustom, 0, object.size};
        return options_.size;
    }
    bool ConfirmOverwrite(const std::string&) override { return options_.overwrite; }
    void ShowError(const std::string&, const std::string& text) override {
        std::string line = text;
        while (!line.empty() && line.front() == '\n') line.erase(line.begin());
        std::fprintf(stderr, "vornex-cli: %s\n", line.c_str());
    }

private:
    const RecoverOptions& options_;
};

bool ParseSizeRule(const std::string& text, ProbableSizeAnswer& out) {
    out = {};
    if (text == "typical") out.rule = kSizeRuleTypical;
    else if (text == "next-any") out.rule = kSizeRuleNextAny;
    else if (text == "next-same") out.rule = kSizeRuleNextSame;
    else {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 18) return false;
        out.rule = kSizeRuleCustom;
        out.customSize = std::stoull(text);
    }
    return true;
}

bool ParseOptions(const Args& args, RecoverOptions& o, std::string& error) {
    if (!OptionValue(args, "--to", o.to) || o.to.empty()) {
        error = "recover needs --to DIR";
        return false;
    }
    o.deletedOnly = HasFlag(args, "--deleted-only");
    o.liveOnly = HasFlag(args, "--live-only");
    if (o.deletedOnly && o.liveOnly) {
        error = "--deleted-only and --live-only exclude each other";
        return false;
    }
    o.lost = HasFlag(args, "--lost");
    o.fsOnly = HasFlag(args, "--fs-only");
    o.scanOnly = HasFlag(args, "--scan-only");
    o.freeSpaceOnly = HasFlag(args, "--free-space-only");
    if (o.fsOnly && o.scanOnly) {
        error = "--fs-only and --scan-only exclude each other";
        return false;
    }
    if (o.scanOnly) o.lost = true;
    std::string value;
    if (OptionValue(args, "--min-size", value)) {
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos || value.size() > 18) {
            error = "--min-size takes a size in bytes";
            return false;
        }
        o.minSize = std::stoull(value);
    }
    if (OptionValue(args, "--min-pixels", value)) {
        unsigned w = 0, h = 0;
        char tail = 0;
        if (std::sscanf(value.c_str(), "%ux%u%c", &w, &h, &tail) != 2) {
            error = "--min-pixels takes WIDTHxHEIGHT, for example 640x480";
            return false;
        }
        o.minWidth = w;
        o.minHeight = h;
    }
    o.flat = HasFlag(args, "--flat");
    o.overwrite = HasFlag(args, "--overwrite");
    OptionValue(args, "--match", o.match);
    for (const std::string& text : OptionValues(args, "--id")) {
        try {
            size_t used = 0;
            long long id = std::stoll(text, &used);
            if (used != text.size() || id < INT32_MIN || id > INT32_MAX) throw 0;
            o.ids.push_back(int32_t(id));
        } catch (...) {
            error = "--id needs a number, not '" + text + "'";
            return false;
        }
    }
    std::string rule = "typical";
    OptionValue(args, "--size-rule", rule);
    if (!ParseSizeRule(rule, o.size)) {
        error = "--size-rule takes typical, next-any, next-same or a size in bytes";
        return false;
    }
    return true;
}

bool Matches(const CVolume& volume, const FoundObject& object, const std::string& pattern) {
    if (pattern.empty()) return true;
    if (pattern.find('/') == std::string::npos) return fnmatch(pattern.c_str(), object.name ? object.name : "", 0) == 0;
    return fnmatch(pattern.c_str(), ObjectPath(volume.collection, object).c_str(), FNM_PATHNAME) == 0;
}

// The recover list of one volume: the objects named by --id (a folder with
// everything below it), else every file the analysis found, then filtered.
// A lost file that --min-size or --min-pixels leaves out: only what its
// structure or header told is judged.
bool TooSmall(const FoundObject& r, const RecoverOptions& o) {
    if (o.minSize && r.SizeKnown() && r.size < o.minSize) return true;
    if ((o.minWidth || o.minHeight) && r.width && r.height && (r.width < o.minWidth || r.height < o.minHeight))
        return true;
    return false;
}

std::vector<FoundObject*> SelectObjects(CVolume& volume, const RecoverOptions& o, uint64_t& leftOut) {
    const CFoundObjectList& collection = volume.collection;
    std::vector<FoundObject*> candidates;
    if (!o.ids.empty()) {
        std::vector<FoundObject*> named;
        for (int32_t id : o.ids) {
            int64_t cursor = -1;
            while (FoundObject* r = collection.FindById(id, cursor)) named.push_back(r);
        }
        candidates = BuildRecoverList(collection, named);
    } else {
        std::vector<const FoundObject*> roots{collection.FindFolder(collection.rootId),
                                              collection.LostFoldersRootIfAny()};
        if (o.lost) roots.push_back(collection.LostFilesRootIfAny());
        for (const FoundObject* root : roots)
            if (root) AppendFilesBelow(collection, *root, candidates);
    }
    std::vector<FoundObject*> out;
    for (FoundObject* r : candidates) {
        if (r->IsFolder()) {
            if (!o.flat) out.push_back(r);
            continue;
        }
        if (r->IsFoundByContent() && !o.lost) continue;
        if (o.deletedOnly && !r->IsDeleted()) continue;
        if (o.liveOnly && r->IsDeleted()) continue;
        if (!Matches(volume, *r, o.match)) continue;
        if (r->IsFoundByContent() && TooSmall(*r, o)) {
            ++leftOut;
            continue;
        }
        out.push_back(r);
    }
    return out;
}

std::string Megabytes(uint64_t bytes) { return Format("%.1f MB", double(bytes) / 1e6); }

// Runs the recovery job over `list` with a progress line; returns its totals.
RecoveryTotals RunRecovery(CVolume& volume, std::vector<FoundObject*> list, ProgressLine& progress) {
    CRecoveryJob& job = RecoveryJob();
    job.objects = std::move(list);
    const size_t count = job.objects.size();
    const auto started = std::chrono::steady_clock::now();
    if (!job.StartRecovery(&volume)) return {};
    while (!job.Finished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (Interrupted()) job.StopJob();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const uint64_t bytes = job.BytesWritten();
        std::string line = Format("Recovering: %d of %zu files, %s", std::min<int>(job.CurrentIndex(), int(count)),
                                  count, Megabytes(bytes).c_str());
        if (seconds >= kMeasuringSeconds) line += Format(", %.1f MB/s", double(bytes) / 1e6 / seconds);
        progress.Update(line);
    }
    job.Wait();
    progress.Finish();
    // Name what was not written whole.
    const std::vector<RecoveryOutcome> outcomes = job.Outcomes();
    for (size_t i = 0; i < outcomes.size() && i < job.objects.size(); ++i) {
        const char* what = outcomes[i] == RecoveryOutcome::Short     ? "short"
                           : outcomes[i] == RecoveryOutcome::Skipped ? "skipped"
                           : outcomes[i] == RecoveryOutcome::Failed  ? "failed"
                           : outcomes[i] == RecoveryOutcome::Pending ? "not reached"
                                                                     : nullptr;
        if (what) std::fprintf(stderr, "%s: %s\n", what, ObjectPath(volume.collection, *job.objects[i]).c_str());
    }
    RecoveryTotals totals = job.Totals();
    for (RecoveryOutcome outcome : outcomes)
        if (outcome == RecoveryOutcome::Pending) ++totals.skipped;
    return totals;
}

std::vector<FoundObject*> LostFilesOf(const std::vector<FoundObject*>& list) {
    std::vector<FoundObject*> out;
    for (FoundObject* r : list)
        if (!r->IsFolder() && r->IsFoundByContent()) out.push_back(r);
    return out;
}

void Add(RecoveryTotals& sum, const RecoveryTotals& t) {
    sum.written += t.written;
    sum.shortFiles += t.shortFiles;
    sum.skipped += t.skipped;
    sum.failed += t.failed;
    sum.folders += t.folders;
    sum.bytes += t.bytes;
    sum.unreadableSectors += t.unreadableSectors;
}

}  // namespace

int CmdRecover(const Args& args) {
    std::vector<std::string> sources = Positionals(args);
    if (sources.size() != 1) return UsageError("recover needs one SOURCE");
    RecoverOptions options;
    std::string error;
    if (!ParseOptions(args, options, error)) return UsageError(error);

    std::vector<AnalysisTarget> targets;
    bool allPartitions = false;
    if (int status = ChooseTargets(sources[0], args, targets, allPartitions)) return status;

    RecoverNotifier notifier(options);
    struct NotifierScope {
        INotifier& previous = Notifier();
        ~NotifierScope() { SetNotifier(&previous); }
    } scope;
    SetNotifier(&notifier);
    Settings().SetFlag(settings_offset::KeepFolderStructure, !options.flat);
    Settings().SetFlag(settings_offset::ConfirmFileOverwrite, true);
    std::string root = options.to;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    for (const AnalysisTarget& t : targets) {
        if (DestinationOnSource(*t.volume, root)) {
            ValidateDestination(t.volume, &root, false);
            return kExitError;
        }
    }
    if (!ValidateDestination(targets.front().volume, &root, false)) return kExitError;

    AnalysisController().sectorPhase = options.lost && !options.fsOnly;
    AnalysisController().fileSystemPhase = !options.scanOnly;
    Settings().SetFlag(settings_offset::ScanFreeSpaceOnly, options.freeSpaceOnly);
    Interrupted() = false;
    auto previous = std::signal(SIGINT, HandleInterrupt);
    ProgressLine progress;
    RecoveryTotals sum;
    size_t selected = 0;
    uint64_t leftOut = 0, byStructure = 0, byRule = 0;
    bool complete = true;
    for (const AnalysisTarget& t : targets) {
        if (Interrupted()) break;
        if (allPartitions)
            std::fprintf(stderr, "Partition %d: %s\n", t.partition, TargetText(*t.volume).c_str());
        if (t.volume->typeCode == 0 && !options.scanOnly) {
            ReportNoFileSystem(*t.volume, sources[0], t.partition);
            complete = false;
            if (!AnalysisController().sectorPhase) continue;
        }
        if (!RunAnalysis(*t.volume, progress)) {
            complete = false;
            break;
        }
        std::string folder = allPartitions ? Format("%s/p%d", root.c_str(), t.partition) : root;
        if (!ValidateDestination(t.volume, &folder, false)) {
            std::signal(SIGINT, previous);
            return kExitError;
        }
        Settings().SetText(settings_offset::DestinationFolder, 4096, folder);
        std::vector<FoundObject*> list = SelectObjects(*t.volume, options, leftOut);
        for (FoundObject* r : list) selected += r->IsFolder() ? 0 : 1;
        const std::vector<FoundObject*> lost = LostFilesOf(list);
        Add(sum, RunRecovery(*t.volume, std::move(list), progress));
        for (const FoundObject* r : lost) {
            if (r->Is(object_flag::SizeFromStructure)) ++byStructure;
            else if (r->SizeKnown()) ++byRule;
        }
    }
    std::signal(SIGINT, previous);
    if (Interrupted()) complete = false;

    std::printf("Recovered %llu of %zu files (%s) to %s\n", (unsigned long long)(sum.written + sum.shortFiles),
                selected, Megabytes(sum.bytes).c_str(), root.c_str());
    std::printf("  written whole:      %llu\n", (unsigned long long)sum.written);
    std::printf("  short:              %llu\n", (unsigned long long)sum.shortFiles);
    std::printf("  skipped:            %llu\n", (unsigned long long)sum.skipped);
    std::printf("  failed:             %llu\n", (unsigned long long)sum.failed);
    std::printf("  bytes:              %llu\n", (unsigned long long)sum.bytes);
    std::printf("  unreadable sectors: %llu\n", (unsigned long long)sum.unreadableSectors);
    if (options.lost) {
        std::printf("  lost files sized by their structure: %llu\n", (unsigned long long)byStructure);
        std::printf("  lost files sized by a rule:          %llu\n", (unsigned long long)byRule);
        std::printf("  lost files left out by size:         %llu\n", (unsigned long long)leftOut);
    }
    std::fflush(stdout);
    const bool whole = complete && sum.shortFiles == 0 && sum.skipped == 0 && sum.failed == 0;
    return whole ? kExitOk : kExitIncomplete;
}

}  // namespace vx::cli
