#pragma once
// Shared pieces of the command-line tool.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Notifier.h"

namespace vx {
class CVolume;
}

namespace vx::cli {

using Args = std::vector<std::string>;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitIncomplete = 1;  // something was skipped, short or unreadable
inline constexpr int kExitError = 2;       // usage or source error

// Opens an image file or a block device read-only as a volume with its
// descriptor filled. On failure prints "vornex-cli: PATH: reason" on stderr
// and returns null.
std::unique_ptr<CVolume> OpenSource(const std::string& path);

// One option of a command: its name and whether a value follows it
// ("--to DIR" or "--to=DIR").
struct OptionSpec {
    const char* name;
    bool takesValue;
};
using OptionTable = std::vector<OptionSpec>;
// Checks `args` against a command's options. False, with `error` set, at an
// option the table does not hold or an option whose value is missing (the end
// of the arguments, or another option of the table where the value should be).
bool CheckOptions(const Args& args, const OptionTable& options, std::string& error);
// The options of the running command, which Positionals uses to skip values;
// main sets them before it runs the command.
void UseOptions(const OptionTable& options);

// Option parsing helpers: Has("--json"), Value("--to").
bool HasFlag(const Args& args, const std::string& flag);
bool OptionValue(const Args& args, const std::string& option, std::string& value);
std::vector<std::string> OptionValues(const Args& args, const std::string& option);
// Positional arguments: everything that is not an option or an option's value.
std::vector<std::string> Positionals(const Args& args, const std::vector<std::string>& optionsWithValue);
// The same, with the values of the running command's options skipped.
std::vector<std::string> Positionals(const Args& args);

// Hidden test option "--unreadable-sectors LIST" (LIST: "7,100-103", absolute
// 512-byte sectors of SOURCE): removes it from `args` and makes every read of
// `source` that touches those sectors fail, so that the handling of failing
// media can be shown without a failing device. False when LIST is malformed.
bool TakeUnreadableSectorsOption(Args& args, const std::string& source);

std::string JsonString(const std::string& text);
int UsageError(const std::string& message);

// A progress line on stderr: only when stderr is a terminal, at most four
// updates a second, cleared by Finish.
class ProgressLine {
public:
    ProgressLine();
    void Update(const std::string& text, bool force = false);
    void Finish();
private:
    bool enabled_;
    int64_t lastMs_ = 0;
    size_t lastWidth_ = 0;
};

// A receiver for the command-line tool: answers questions as an unattended
// run would and keeps quiet otherwise.
class CliNotifier : public INotifier {};

// A GUID partition's name and type: "\"Basic data\" EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
// empty for other volumes.
std::string PartitionText(const CVolume& volume);
// "disk.img@1048576 (FAT32)", with the partition's name and type when it has them.
std::string TargetText(const CVolume& volume);

// The MFT layout of an NTFS volume, for `info`. False when the volume holds
// no NTFS boot sector.
struct NtfsInfo {
    uint64_t mftCluster = 0;
    uint64_t mftPosition = 0;
    uint32_t bytesPerCluster = 0;
    uint32_t recordSize = 0;
    uint64_t recordCount = 0;
    bool mftLoaded = false;
};
bool DescribeNtfs(CVolume& volume, NtfsInfo& out);
std::string NtfsInfoText(const NtfsInfo& info);
std::string NtfsInfoJson(const NtfsInfo& info);
// The progress of a sector scan: "Scanning  42.0%  512.3 MB/s  0:12 left";
// the speed and time left only once kMeasuringSeconds have passed.
std::string ScanProgressText(const char* what, uint64_t done, uint64_t total, uint64_t bytesPerUnit, double seconds);
// Shows the progress of the volume's sector-analysis thread until it ends.
void WaitForScan(CVolume& volume, const char* what);
// Opens a source and adds it to the computer's drive list (so that volumes
// found inside it can be attached to it), its boot sector parsed.
CVolume* OpenListedSource(const std::string& path);

// The analysis plumbing of analyze and recover. A target is one volume to
// analyse: the source itself (partition 0) or one of its partitions (1-based).
struct AnalysisTarget {
    CVolume* volume;
    int partition;
};
// Opens `path`, reads its partitions and picks the targets by --partition N
// or --all-partitions (default: the source, or for a whole disk its first
// partition with a file system). kExitOk, or the exit status of the error
// it printed. The volumes stay in the computer's drive list.
int ChooseTargets(const std::string& path, const Args& args, std::vector<AnalysisTarget>& targets,
                  bool& allPartitions);
// --offset BYTES: a decimal byte offset.
bool ParseOffset(const std::string& text, uint64_t& offset);
// The volume at byte `offset` of `source` (in the drive list), read like a
// Found volume: a partition already listed there, or a new Found volume.
CVolume* VolumeAtOffset(CVolume& source, uint64_t offset);
// Runs one analysis with a progress line; false when interrupted.
bool RunAnalysis(CVolume& volume, ProgressLine& progress);
// Set by HandleInterrupt, the SIGINT handler analyze and recover install.
std::atomic<bool>& Interrupted();
void HandleInterrupt(int);

// Commands: each takes the arguments after its name and returns the exit status.
int CmdInfo(const Args& args);
int CmdDrives(const Args& args);
int CmdImage(const Args& args);
int CmdTypes(const Args& args);
int CmdAddsig(const Args& args);
int CmdAnalyze(const Args& args);
int CmdSearchLost(const Args& args);
int CmdRecover(const Args& args);

}  // namespace vx::cli
