#include "tests/support/TestSupport.h"

#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "settings/Registry.h"

namespace vx::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vornex-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

CommandResult Run(const std::string& commandLine) {
    TempDir dir;
    std::string out = dir / "out", err = dir / "err";
    std::string full = "(" + commandLine + ") >" + Quote(out) + " 2>" + Quote(err) + " </dev/null";
    int raw = std::system(full.c_str());
    CommandResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
}

std::string MustRun(const std::string& commandLine) {
    CommandResult r = Run(commandLine);
    EXPECT_EQ(r.status, 0) << commandLine << "\n" << r.err << r.out;
    return r.out;
}

bool HaveTool(const std::string& name) { return Run("command -v " + Quote(name)).status == 0; }

std::string Quote(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

std::string Sha256File(const std::string& path) {
    CommandResult r = Run("sha256sum " + Quote(path));
    return r.out.substr(0, 64);
}

std::string Sha256Bytes(const std::string& bytes) {
    TempDir dir;
    WriteFile(dir / "b", bytes);
    return Sha256File(dir / "b");
}

std::string ReadFile(const std::string& path) { return Slurp(path); }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (auto& c : s) c = char(gen() & 0xFF);
    return s;
}

ScopedConfig::ScopedConfig() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        hadXdg_ = true;
        oldXdg_ = old;
    }
    setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    // A first start writes the desktop's file associations: below the test's folder.
    if (const char* old = std::getenv("XDG_DATA_HOME")) {
        hadData_ = true;
        oldData_ = old;
    }
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    CRegistry::UseDatabase(dir_ / "vornex/registry.sqlite");
    Settings().InitialiseSettings();
}

ScopedConfig::~ScopedConfig() {
    CRegistry::UseDatabase("");
    if (hadXdg_) setenv("XDG_CONFIG_HOME", oldXdg_.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    if (hadData_) setenv("XDG_DATA_HOME", oldData_.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
}

RecordingNotifier::RecordingNotifier() { SetNotifier(this); }
RecordingNotifier::~RecordingNotifier() {
    SetNotifier(nullptr);
    EventLog().ClearReceiver();
}

void RecordingNotifier::OnLogLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    logLines_.push_back(line);
}
void RecordingNotifier::OnStatusText(int, intptr_t) {}
void RecordingNotifier::OnCollectionChanged(CVolume*, FoundObject*, int code) {
    std::lock_guard lock(mutex_);
    collectionCodes_.push_back(code);
}
void RecordingNotifier::OnVolumeAdded(CVolume*, CVolume*) {
    std::lock_guard lock(mutex_);
    ++volumesAdded_;
}
void RecordingNotifier::OnAnalysisEvent(uint32_t message, CVolume*) {
    std::lock_guard lock(mutex_);
    analysisEvents_.push_back(message);
}
bool RecordingNotifier::Confirm(int, const std::string&) { return answer; }

std::vector<std::string> RecordingNotifier::logLines() const {
    std::lock_guard lock(mutex_);
    return logLines_;
}
std::vector<uint32_t> RecordingNotifier::analysisEvents() const {
    std::lock_guard lock(mutex_);
    return analysisEvents_;
}
std::vector<int> RecordingNotifier::collectionCodes() const {
    std::lock_guard lock(mutex_);
    return collectionCodes_;
}
size_t RecordingNotifier::volumesAdded() const {
    std::lock_guard lock(mutex_);
    return volumesAdded_;
}

struct ScopedFaultySectors::State {
    std::string path;
    std::set<uint64_t> bad;
    std::atomic<uint64_t> failures{0};
};

namespace {

class FaultyReader final : public ISectorReader {
public:
    FaultyReader(std::unique_ptr<ISectorReader> inner, std::shared_ptr<void> keep,
                 const std::set<uint64_t>* bad, std::atomic<uint64_t>* failures)
        : inner_(std::move(inner)), keep_(std::move(keep)), bad_(bad), failures_(failures) {}
    int64_t ReadAt(void* buffer, size_t length, uint64_t position, int* error) override {
        if (length > 0) {
            uint64_t first = position / 512, last = (position + length - 1) / 512;
            auto it = bad_->lower_bound(first);
            if (it != bad_->end() && *it <= last) {
                ++*failures_;
                if (error) *error = EIO;
                return -1;
            }
        }
        return inner_->ReadAt(buffer, length, position, error);
    }
    uint64_t Size() const override { return inner_->Size(); }
private:
    std::unique_ptr<ISectorReader> inner_;
    std::shared_ptr<void> keep_;
    const std::set<uint64_t>* bad_;
    std::atomic<uint64_t>* failures_;
};

}  // namespace

ScopedFaultySectors::ScopedFaultySectors(std::string path, std::set<uint64_t> badSectors)
    : state_(std::make_shared<State>()) {
    state_->path = std::move(path);
    state_->bad = std::move(badSectors);
    std::shared_ptr<State> state = state_;
    SetSectorReaderFactory([state](const std::string& p, std::string* error) -> std::unique_ptr<ISectorReader> {
        auto inner = OpenPosixSectorReader(p, error);
        if (!inner || p != state->path) return inner;
        return std::make_unique<FaultyReader>(std::move(inner), state, &state->bad, &state->failures);
    });
}

ScopedFaultySectors::~ScopedFaultySectors() { SetSectorReaderFactory(nullptr); }

uint64_t ScopedFaultySectors::failures() const { return state_->failures.load(); }

SourceWatch::SourceWatch(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    EXPECT_GE(fd_, 0);
    EXPECT_GE(inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_MODIFY | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE | IN_ATTRIB),
              0);
}

SourceWatch::~SourceWatch() {
    if (fd_ >= 0) close(fd_);
}

uint32_t SourceWatch::Seen() {
    alignas(inotify_event) char events[8192];
    ssize_t n;
    while ((n = read(fd_, events, sizeof events)) > 0)
        for (char* p = events; p < events + n;) {
            auto* e = reinterpret_cast<inotify_event*>(p);
            seen_ |= e->mask;
            p += sizeof(inotify_event) + e->len;
        }
    return seen_;
}

bool SourceWatch::ReadOnly() {
    uint32_t seen = Seen();
    return (seen & IN_OPEN) && !(seen & (IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB));
}

LogMark::LogMark() : start_(EventLog().LineCount()) {}

std::vector<std::string> LogMark::NewLines() const {
    std::vector<std::string> all = EventLog().Lines();
    return std::vector<std::string>(all.begin() + std::min(start_, all.size()), all.end());
}

bool LogMark::Contains(const std::string& text) const { return Count(text) > 0; }

size_t LogMark::Count(const std::string& text) const {
    size_t n = 0;
    for (const auto& line : NewLines())
        if (line.find(text) != std::string::npos) ++n;
    return n;
}

std::string CliPath() { return VORNEX_CLI; }
std::string AppPath() { return VORNEX_APP; }
std::string SourceDir() { return VORNEX_SOURCE_DIR; }

}  // namespace vx::test
