// vornex-cli image: copies a source sector by sector into a raw image file.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include "cli/Cli.h"
#include "common/Strings.h"
#include "device/DriveImage.h"
#include "device/Volume.h"

namespace vx::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

std::string Clock(std::chrono::milliseconds elapsed) {
    long long s = elapsed.count() / 1000;
    return Format("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
}

std::string ProgressText(const CImageJob& job) {
    const uint64_t total = job.TotalSectors(), current = job.CurrentSector();
    const int percent = total ? int(current * 100 / total) : 0;
    const double seconds = double(job.Elapsed().count()) / 1000.0;
    const double mbps = seconds > 0 ? double(job.BytesWritten()) / 1e6 / seconds : 0.0;
    return Format("%3d%%  %.1f MB/s  %s elapsed  %llu unreadable", percent, mbps, Clock(job.Elapsed()).c_str(),
                  (unsigned long long)job.UnreadableSectors());
}

}  // namespace

int CmdImage(const Args& arguments) {
    Args args = arguments;
    std::vector<std::string> sources = Positionals(args);
    std::string target;
    if (sources.size() != 1 || !OptionValue(args, "--to", target) || target.empty())
        return UsageError("image needs SOURCE --to FILE");
    if (!TakeUnreadableSectorsOption(args, sources[0])) return UsageError("--unreadable-sectors needs a list like 7,100-103");
    std::unique_ptr<CVolume> volume = OpenSource(sources[0]);
    if (!volume) return kExitError;

    CImageJob job(*volume, target, HasFlag(args, "--overwrite"));
    auto previous = std::signal(SIGINT, OnInterrupt);
    if (!job.Start()) return UsageError("cannot start the copy");
    ProgressLine progress;
    while (!job.Finished()) {
        if (g_interrupted) job.Stop();
        progress.Update(ProgressText(job));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    job.Wait();
    std::signal(SIGINT, previous);
    progress.Finish();

    switch (job.Result()) {
        case CImageJob::Outcome::SourceNotOpened:
            std::fprintf(stderr, "vornex-cli: %s: cannot be opened\n", sources[0].c_str());
            return kExitError;
        case CImageJob::Outcome::TargetOnSource:
            std::fprintf(stderr, "vornex-cli: %s: the image would be written onto the source\n", target.c_str());
            return kExitError;
        case CImageJob::Outcome::CreateFailed:
            std::fprintf(stderr, "vornex-cli: %s: %s%s\n", target.c_str(), std::strerror(job.CreateError()),
                         job.CreateError() == EEXIST ? " (use --overwrite to replace it)" : "");
            return kExitError;
        case CImageJob::Outcome::WriteFailed:
            std::fprintf(stderr, "vornex-cli: %s: writing the image failed after %llu bytes\n", target.c_str(),
                         (unsigned long long)job.BytesWritten());
            return kExitError;
        default:
            break;
    }
    for (const UnreadableRun& run : job.UnreadableRuns())
        std::fprintf(stderr, "vornex-cli: unreadable: sectors %llu-%llu (written as zeros)\n",
                     (unsigned long long)run.first, (unsigned long long)(run.first + run.count - 1));
    const bool stopped = job.Result() == CImageJob::Outcome::Stopped;
    std::fprintf(stderr, "%s: %llu bytes in %s, %llu unreadable sector(s)%s\n", target.c_str(),
                 (unsigned long long)job.BytesWritten(), Clock(job.Elapsed()).c_str(),
                 (unsigned long long)job.UnreadableSectors(), stopped ? ", stopped before the end" : "");
    return job.UnreadableSectors() || stopped ? kExitIncomplete : kExitOk;
}

}  // namespace vx::cli
