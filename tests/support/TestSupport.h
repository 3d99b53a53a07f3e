#pragma once
// Helpers shared by the tests: temporary folders, running the real tools that
// build disk images, hashing files, a receiver that records notifications and
// a sector reader that fails on chosen sectors.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/Notifier.h"
#include "platform/SectorReader.h"

namespace vx::test {

// A fresh folder below $TMPDIR (or /tmp), removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
private:
    std::string path_;
};

struct CommandResult {
    int status = -1;         // exit status, or -1 when it did not exit normally
    std::string out;         // standard output
    std::string err;         // standard error
};

// Runs a shell command line; output is captured.
CommandResult Run(const std::string& commandLine);
// Runs it and fails the current test when it does not exit 0.
std::string MustRun(const std::string& commandLine);
// True when a program is on PATH.
bool HaveTool(const std::string& name);
std::string Quote(const std::string& text);

std::string Sha256File(const std::string& path);
std::string Sha256Bytes(const std::string& bytes);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// Deterministic pseudo-random bytes.
std::string RandomBytes(size_t size, uint32_t seed);

// Points the registry and the config folder at a temporary folder for the
// life of the object, and resets the settings record to its defaults there.
class ScopedConfig {
public:
    ScopedConfig();
    ~ScopedConfig();
    const std::string& folder() const { return dir_.path(); }
private:
    TempDir dir_;
    std::string oldXdg_;
    bool hadXdg_ = false;
    std::string oldData_;
    bool hadData_ = false;
};

// Records everything the core notifies.
class RecordingNotifier : public INotifier {
public:
    RecordingNotifier();
    ~RecordingNotifier() override;
    void OnLogLine(const std::string& line) override;
    void OnStatusText(int stringId, intptr_t arg) override;
    void OnCollectionChanged(CVolume* volume, FoundObject* object, int code) override;
    void OnVolumeAdded(CVolume* volume, CVolume* parent) override;
    void OnAnalysisEvent(uint32_t message, CVolume* volume) override;
    bool Confirm(int questionId, const std::string& text) override;

    std::vector<std::string> logLines() const;
    std::vector<uint32_t> analysisEvents() const;
    std::vector<int> collectionCodes() const;
    size_t volumesAdded() const;
    bool answer = true;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> logLines_;
    std::vector<uint32_t> analysisEvents_;
    std::vector<int> collectionCodes_;
    size_t volumesAdded_ = 0;
};

// While alive, every sector reader opened for `path` fails reads that touch
// any of the given 512-byte sectors (absolute byte positions / 512 in the file).
class ScopedFaultySectors {
public:
    ScopedFaultySectors(std::string path, std::set<uint64_t> badSectors);
    ~ScopedFaultySectors();
    // Read attempts that failed.
    uint64_t failures() const;
private:
    struct State;
    std::shared_ptr<State> state_;
};

// Watches a source file with inotify: which events (IN_OPEN, IN_MODIFY,
// IN_CLOSE_WRITE, IN_CLOSE_NOWRITE, IN_ATTRIB) it saw since it was made.
class SourceWatch {
public:
    explicit SourceWatch(const std::string& path);
    ~SourceWatch();
    SourceWatch(const SourceWatch&) = delete;
    SourceWatch& operator=(const SourceWatch&) = delete;
    uint32_t Seen();
    // Opened, and never opened for writing, written or changed in its attributes.
    bool ReadOnly();
private:
    int fd_;
    uint32_t seen_ = 0;
};

// Lines of the event log added since the mark.
class LogMark {
public:
    LogMark();
    std::vector<std::string> NewLines() const;
    bool Contains(const std::string& text) const;
    size_t Count(const std::string& text) const;
private:
    size_t start_;
};

// Paths of the programs under test.
std::string CliPath();
std::string AppPath();
std::string SourceDir();

}  // namespace vx::test
