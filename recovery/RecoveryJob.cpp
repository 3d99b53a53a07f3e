#include "recovery/RecoveryJob.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "common/Notifier.h"
#include "common/Strings.h"
#include "device/Volume.h"
#include "platform/Shell.h"
#include "recovery/Destination.h"
#include "recovery/ProbableSize.h"
#include "recovery/RecoverList.h"
#include "recovery/SafeName.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "signatures/FileTypeDatabase.h"

namespace vx {

namespace {

// The work flag of both jobs: 1 while a run may go on, cleared to stop it.
std::atomic<int> g_work{0};

// Failed reads one chunk may spend to find the readable sectors around an
// unreadable one; what is still unresolved then stays zeros.
constexpr int kSalvageReadBudget = 256;
constexpr unsigned kMaxNumberedNames = 10000;
constexpr unsigned kMaxNumberedFolders = 100;
constexpr size_t kMaxFolderDepth = 1024;

// Windows file time (100 ns since 1601) to a time stamp; 0 leaves it alone.
timespec FileTimeToTimespec(uint64_t fileTime) {
    timespec ts{};
    if (fileTime == 0) {
        ts.tv_nsec = UTIME_OMIT;
        return ts;
    }
    constexpr int64_t kEpochDifference = 116444736000000000LL;  // 1601 to 1970
    int64_t since1970 = int64_t(fileTime) - kEpochDifference;
    int64_t seconds = since1970 / 10000000;
    int64_t rest = since1970 % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    ts.tv_sec = time_t(seconds);
    ts.tv_nsec = long(rest * 100);
    return ts;
}

// What the size decision needs of the object's file type.
struct TypeSizes {
    FileType* type = nullptr;
    uint64_t typical = 0;  // bytes
};

TypeSizes LookupType(const FoundObject& object) {
    TypeSizes out;
    out.type = FileTypes().FindForObject(object);
    if (out.type && out.type->TypicalSizeKb() > 0) out.typical = uint64_t(out.type->TypicalSizeKb()) * 1024;
    return out;
}

bool HasTimes(const FoundObject& object) { return object.modified != 0 || object.accessed != 0; }

void ApplyTimes(int folderFd, const std::string& name, const FoundObject& object) {
    if (!HasTimes(object)) return;
    timespec times[2] = {FileTimeToTimespec(object.accessed), FileTimeToTimespec(object.modified)};
    ::utimensat(folderFd, name.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Writes the whole range at `position`; the error number on failure, else 0.
int WriteAll(int fd, const uint8_t* data, size_t size, uint64_t position, size_t& written) {
    written = 0;
    while (written < size) {
        ssize_t n = ::pwrite(fd, data + written, size - written, off_t(position + written));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        written += size_t(n);
    }
    return 0;
}

// Opens a folder below `parent` without following a link, creating it when
// missing. -1 with errno set on failure.
int OpenOrMakeFolder(int parent, const std::string& name) {
    int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) return fd;
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) return -1;
    return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// An entry that is in the way of a folder of that name: a file or a link.
bool InTheWay(int error) { return error == ENOTDIR || error == ELOOP || error == EEXIST; }

std::string JoinRelative(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) out += p + "/";
    return out;
}

}  // namespace

CRecoveryJob::CRecoveryJob(Kind kind) : kind_(kind), buffer_(new uint8_t[kRecoveryChunk + kSectorSize]) {}

CRecoveryJob::~CRecoveryJob() {
    StopJob();
    Wait();
    CloseRun();
}

int CRecoveryJob::StartRecovery(CVolume* volume) { return Start(volume, Kind::Recovery); }

int CRecoveryJob::StartTryOpen(CVolume* volume) { return Start(volume, Kind::TryOpen); }

int CRecoveryJob::Start(CVolume* volume, Kind kind) {
    if (kind != kind_ || running_.load()) return 0;
    Wait();
    volume_ = volume;
    {
        std::lock_guard lock(mutex_);
        totals_ = {};
        outcomes_.assign(objects.size(), RecoveryOutcome::Pending);
        currentFile_.clear();
        currentObject_ = nullptr;
    }
    currentIndex_ = 0;
    progress_ = 0;
    bytesWritten_ = 0;
    finished_ = false;
    running_ = true;
    try {
        thread_ = std::thread([this] { RunThread(); });
    } catch (...) {
        running_ = false;
        finished_ = true;
        return 0;
    }
    return 1;
}

void CRecoveryJob::StopJob() { g_work = 0; }

void CRecoveryJob::Wait() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool CRecoveryJob::Running() const { return running_.load(); }

std::string CRecoveryJob::CurrentFile() const {
    std::lock_guard lock(mutex_);
    return currentFile_;
}

FoundObject* CRecoveryJob::CurrentObject() const {
    std::lock_guard lock(mutex_);
    return currentObject_;
}

RecoveryTotals CRecoveryJob::Totals() const {
    std::lock_guard lock(mutex_);
    return totals_;
}

std::vector<RecoveryOutcome> CRecoveryJob::Outcomes() const {
    std::lock_guard lock(mutex_);
    return outcomes_;
}

std::vector<std::string> CRecoveryJob::TemporaryFiles() const {
    std::lock_guard lock(mutex_);
    return temporaryFiles_;
}

void CRecoveryJob::SetCurrent(const std::string& path, FoundObject* object) {
    std::lock_guard lock(mutex_);
    currentFile_ = path;
    currentObject_ = object;
}

void CRecoveryJob::RunThread() {
    const bool tryOpen = kind_ == Kind::TryOpen;
    try {
        std::string folder = tryOpen ? Settings().TemporaryFolderPath() : Settings().DestinationFolder();
        if (CheckDestinationDrive(folder)) {
            ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 19);
            g_work = 1;
            currentIndex_ = 0;
            bool aborted = false;
            for (size_t i = 0; i < objects.size(); ++i) {
                if (g_work.load() == 0) {
                    EventLog().LogText(tryOpen ? "Action aborted!" : "Recovery aborted!");
                    aborted = true;
                    break;
                }
                currentIndex_ = int32_t(i);
                RecoveryOutcome outcome = RecoveryOutcome::Failed;
                try {
                    outcome = RecoverObject(*objects[i], &folder);
                } catch (...) {
                    EventLog().LogError("Recovery_Thread.except0");
                }
                std::lock_guard lock(mutex_);
                outcomes_[i] = outcome;
            }
            if (!aborted && g_work.load() == 0 && !objects.empty()) {
                // Stopped inside the last object: its file is not whole, and
                // a try-open run does not open it.
                EventLog().LogText(tryOpen ? "Action aborted!" : "Recovery aborted!");
                aborted = true;
            }
            if (!aborted) currentIndex_ = int32_t(objects.size());
            StampFolders();
            if (tryOpen && !aborted) {
                std::string path = CurrentFile();
                struct stat st{};
                if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
                    {
                        std::lock_guard lock(mutex_);
                        temporaryFiles_.push_back(path);
                    }
                    switch (OpenWithAssociatedProgram(path)) {
                        case OpenResult::Opened:
                            EventLog().LogText(Format("File: \"%s\"  opened successfully", path.c_str()));
                            break;
                        case OpenResult::NoApplication:
                            EventLog().LogError("Opening file: \"%s\" failed! No application associated with this file",
                                                path.c_str());
                            break;
                        case OpenResult::Failed:
                            EventLog().LogError("Opening file: \"%s\" failed! Error code: %d", path.c_str(), -1);
                            break;
                    }
                }
            }
        }
    } catch (...) {
        EventLog().LogError("Recovery_Thread.except0");
    }
    CloseRun();
    if (!tryOpen) EventLog().LogText("Recovery finished!");
    running_ = false;
    finished_ = true;
}

int CRecoveryJob::CheckDestinationDrive(std::string& folder) {
    // A receiver that keeps offering a folder on the source does not keep the run here forever.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!volume_ || !DestinationOnSource(*volume_, folder)) return 1;
        std::string chosen = folder;
        if (!Notifier().AskOtherDestination(
                "The destination folder is on the same drive with the source. You should change the destination "
                "location for recovered files.\nSelect another destination folder for recovered files?",
                chosen))
            return 0;
        folder = chosen;
        if (kind_ == Kind::Recovery) Settings().SetText(settings_offset::DestinationFolder, 4096, folder);
    }
    return 0;
}

int CRecoveryJob::CreateFolderPath(const std::string& path) {
    try {
        struct stat st{};
        for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
            std::string part = slash == std::string::npos ? path : path.substr(0, slash);
            if (!part.empty() && (::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
                if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
                    EventLog().LogError("\nCan't create folder:\n\"%s\"\n\nWindows error code: %d", part.c_str(), errno);
                    return 0;
                }
            }
            if (slash == std::string::npos) break;
        }
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int CRecoveryJob::DeleteTemporaryFiles() {
    std::vector<std::string> files = TemporaryFiles();
    if (files.empty()) return 1;
    if (!Notifier().Confirm(0, "Delete temporary files?")) return 1;
    for (const std::string& path : files) ::unlink(path.c_str());
    return 1;
}

// --- One run's folders -------------------------------------------------------

bool CRecoveryJob::OpenRoot(const std::string& root) {
    if (rootFd_ >= 0 && root == root_) return true;
    CloseRun();
    if (!CreateFolderPath(root.size() > 1 ? root.substr(0, root.size() - 1) : root)) return false;
    rootFd_ = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd_ < 0) return false;
    root_ = root;
    return true;
}

void CRecoveryJob::CloseRun() {
    StampFolders();
    CloseFd(cachedFd_);
    CloseFd(rootFd_);
    cachedRelative_.clear();
    root_.clear();
    pathCache_.clear();
    sourcePathCache_.clear();
    writtenThisRun_.clear();
    byStart_.clear();
    byStartReady_ = false;
}

int CRecoveryJob::OpenRelative(const std::vector<std::string>& parts, const std::vector<const FoundObject*>& records) {
    int current = rootFd_;
    std::string relative;
    for (size_t i = 0; i < parts.size(); ++i) {
        int fd = -1;
        std::string used;
        for (unsigned n = 0; n <= kMaxNumberedFolders && fd < 0; ++n) {
            used = n == 0 ? parts[i] : NumberedName(parts[i], n);
            fd = OpenOrMakeFolder(current, used);
            if (fd < 0 && !InTheWay(errno)) break;
        }
        if (current != rootFd_) ::close(current);
        if (fd < 0) return -1;
        current = fd;
        relative += used + "/";
        if (records[i] && HasTimes(*records[i])) foldersToStamp_[relative] = records[i];
    }
    cachedRelative_ = relative;
    return current;
}

// The folder below the root where the object goes, opened. For a folder
// object, its own directory.
int CRecoveryJob::FolderFor(const FoundObject& object, std::string& relative, std::string& sourcePath) {
    auto cached = pathCache_.find(object.parent);
    if (cached == pathCache_.end()) {
        std::vector<std::string> parts;
        std::vector<const FoundObject*> records;
        if (volume_) {
            const int32_t root = volume_->collection.rootId;
            std::unordered_set<const FoundObject*> visited;
            const FoundObject* record = object.parent == object.id && object.id != root
                                            ? nullptr
                                            : volume_->collection.FindFolder(object.parent);
            while (record && !IsVolumeNode(*record) && parts.size() < kMaxFolderDepth &&
                   visited.insert(record).second) {
                if (record->id == root || record->id == record->parent) break;
                parts.push_back(SafeFileName(record->name ? record->name : ""));
                records.push_back(record);
                record = volume_->collection.FindFolder(record->parent);
            }
            std::reverse(parts.begin(), parts.end());
            std::reverse(records.begin(), records.end());
        }
        cached = pathCache_.emplace(object.parent, std::make_pair(std::move(parts), std::move(records))).first;
    }
    auto source = sourcePathCache_.find(object.parent);
    if (source == sourcePathCache_.end()) {
        // The volume's own prefix ("sdb1:/"), then the names as the source has them.
        FoundObject rootLike;
        if (volume_) rootLike.id = volume_->collection.rootId;
        std::string path = volume_ ? volume_->ObjectFolderPath(rootLike) : "/";
        for (const FoundObject* record : cached->second.second)
            path += std::string(record->name ? record->name : "") + "/";
        source = sourcePathCache_.emplace(object.parent, std::move(path)).first;
    }
    sourcePath = source->second;

    if (!Settings().Flag(settings_offset::KeepFolderStructure)) {
        relative.clear();
        return rootFd_;
    }
    std::vector<std::string> parts = cached->second.first;
    std::vector<const FoundObject*> records = cached->second.second;
    if (object.IsFolder()) {
        parts.push_back(SafeFileName(object.name ? object.name : ""));
        records.push_back(&object);
    }
    relative = JoinRelative(parts);
    if (cachedFd_ >= 0 && relative == cachedRelative_) return cachedFd_;
    if (parts.empty()) {
        relative.clear();
        return rootFd_;
    }
    CloseFd(cachedFd_);
    cachedFd_ = OpenRelative(parts, records);
    if (cachedFd_ < 0) {
        cachedRelative_.clear();
        return -1;
    }
    relative = cachedRelative_;
    return cachedFd_;
}

void CRecoveryJob::StampFolders() {
    if (rootFd_ < 0) {
        foldersToStamp_.clear();
        return;
    }
    for (const auto& [relative, record] : foldersToStamp_) {
        // Walk down again without following links; the last part is stamped.
        std::vector<std::string> parts;
        for (size_t start = 0, slash; (slash = relative.find('/', start)) != std::string::npos; start = slash + 1)
            parts.push_back(relative.substr(start, slash - start));
        if (parts.empty()) continue;
        int current = rootFd_;
        bool ok = true;
        for (size_t i = 0; i + 1 < parts.size() && ok; ++i) {
            int fd = ::openat(current, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (current != rootFd_) ::close(current);
            ok = fd >= 0;
            current = fd;
        }
        if (ok) ApplyTimes(current, parts.back(), *record);
        if (ok && current != rootFd_) ::close(current);
    }
    foldersToStamp_.clear();
}

// --- One object ------------------------------------------------------------

RecoveryOutcome CRecoveryJob::RecoverObject(FoundObject& object, const std::string* root) {
    std::string rootPath = root ? *root : Settings().DestinationFolder();
    if (rootPath.empty() || rootPath.back() != '/') rootPath += '/';
    std::string relative, sourcePath;
    int folderFd = -1;
    if (OpenRoot(rootPath)) folderFd = FolderFor(object, relative, sourcePath);
    if (folderFd < 0) {
        EventLog().LogText(Format("Can't create folder: %s", (rootPath + relative).c_str()));
        std::lock_guard lock(mutex_);
        ++totals_.failed;
        return RecoveryOutcome::Failed;
    }
    const std::string folder = rootPath + relative;
    if (object.IsFolder()) {
        SetCurrent(folder, &object);
        std::lock_guard lock(mutex_);
        ++totals_.folders;
        return RecoveryOutcome::Folder;
    }
    const std::string name = SafeFileName(object.name ? object.name : "");
    SetCurrent(folder + name, &object);
    progress_ = 0;

    struct stat st{};
    if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        EventLog().LogError("File: %s exists", (folder + name).c_str());

    if (object.IsFoundByContent() && !DecideSize(object)) {
        std::lock_guard lock(mutex_);
        ++totals_.skipped;
        return RecoveryOutcome::Skipped;
    }
    if (!object.SizeKnown()) {
        EventLog().LogError("FileRecovery: File '%s' skiped", name.c_str());
        std::lock_guard lock(mutex_);
        ++totals_.skipped;
        return RecoveryOutcome::Skipped;
    }
    EventLog().LogText(
        Format("Recovering file: %s [from \"%s\" to \"%s\"]", name.c_str(), sourcePath.c_str(), folder.c_str()));
    return FileRecovery(object, folderFd, folder, name);
}

// Chooses the name to write under: the object's own, unless an entry of that
// name is in the way and may not be replaced, then "name (n).ext".
static int CreateTarget(int folderFd, const std::string& folder, const std::string& name,
                        const std::unordered_set<std::string>& writtenThisRun, std::string& used) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    used = name;
    int fd = ::openat(folderFd, name.c_str(), kFlags, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
    struct stat st{};
    const bool regular = ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
    // A file this run wrote is never replaced by another object of the run.
    if (regular && !writtenThisRun.count(folder + name) &&
        (!Settings().Flag(settings_offset::ConfirmFileOverwrite) || Notifier().ConfirmOverwrite(folder + name))) {
        // The old entry goes and a new file takes its place: a hard link to
        // a file elsewhere is never written through.
        if (::unlinkat(folderFd, name.c_str(), 0) == 0 || errno == ENOENT) {
            fd = ::openat(folderFd, name.c_str(), kFlags, 0666);
            if (fd >= 0 || errno != EEXIST) return fd;
        }
    }
    for (unsigned n = 1; n <= kMaxNumberedNames; ++n) {
        used = NumberedName(name, n);
        fd = ::openat(folderFd, used.c_str(), kFlags, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

RecoveryOutcome CRecoveryJob::FileRecovery(FoundObject& object, int folderFd, const std::string& folder,
                                           const std::string& wantedName) {
    std::string name;
    int fd = -1;
    try {
        fd = CreateTarget(folderFd, folder, wantedName, writtenThisRun_, name);
    } catch (...) {
        EventLog().LogError("Recovery_Thread.except0");
        fd = -1;
    }
    if (fd < 0) {
        EventLog().LogError("FileRecovery.CreateFile.filed");
        std::lock_guard lock(mutex_);
        ++totals_.failed;
        return RecoveryOutcome::Failed;
    }
    const std::string path = folder + name;
    SetCurrent(path, &object);
    writtenThisRun_.insert(path);

    const uint64_t size = object.size;
    // Reserving the space at once spares the file system block-by-block
    // allocation; where it cannot, the writes allocate as they go.
    if (size > kRecoveryChunk) (void)::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(std::min<uint64_t>(size, INT64_MAX)));
    uint64_t position = 0, totalRead = 0, totalWritten = 0, missing = 0;
    bool writeFailed = false, stopped = false;
    while (position < size) {
        try {
            const uint32_t request = uint32_t(std::min<uint64_t>(kRecoveryChunk, size - position));
            uint64_t chunkMissing = 0;
            totalRead += ReadChunk(object, position, request, chunkMissing);
            missing += chunkMissing;
            size_t written = 0;
            if (int error = WriteAll(fd, buffer_.get(), request, position, written)) {
                EventLog().LogError("FileRecovery: Write error %d", error);
                if (written) EventLog().LogError("FileRecovery: WritedSize = %d, ReqSize = %d", int(written), int(request));
                totalWritten += written;
                bytesWritten_ += written;
                writeFailed = true;
                break;
            }
            totalWritten += written;
            bytesWritten_ += written;
            progress_ = int((unsigned __int128)position * 100 / size);
            if (onChunk) onChunk(*this);
            if (g_work.load() == 0) {
                EventLog().LogError("FileRecovery: Work stoped by work flag");
                stopped = true;
                break;
            }
            position += request;
        } catch (...) {
            EventLog().LogError("Recovery_Thread.RecoveryCycle.except1");
            writeFailed = true;
            break;
        }
    }
    progress_ = 100;
    // Space reserved past an early end goes back.
    struct stat written{};
    if (position < size && size > kRecoveryChunk && ::fstat(fd, &written) == 0) (void)::ftruncate(fd, written.st_size);
    ::close(fd);

    RecoveryOutcome outcome;
    if (size != 0 && (totalRead == 0 || totalWritten == 0)) {
        ::unlinkat(folderFd, name.c_str(), 0);
        writtenThisRun_.erase(path);
        outcome = RecoveryOutcome::Failed;
    } else {
        ApplyTimes(folderFd, name, object);
        outcome = (missing || writeFailed || stopped) ? RecoveryOutcome::Short : RecoveryOutcome::Written;
    }
    std::lock_guard lock(mutex_);
    totals_.bytes += outcome == RecoveryOutcome::Failed ? 0 : totalWritten;
    totals_.unreadableSectors += (missing + kSectorSize - 1) / kSectorSize;
    if (outcome == RecoveryOutcome::Written) ++totals_.written;
    else if (outcome == RecoveryOutcome::Short) ++totals_.shortFiles;
    else ++totals_.failed;
    return outcome;
}

// Reads one chunk into the transfer buffer. The bytes that cannot be read are
// zeros, so the bytes after them keep their offsets; a short read is narrowed
// down by halves to the unreadable sectors. Returns the bytes actually read.
uint32_t CRecoveryJob::ReadChunk(FoundObject& object, uint64_t position, uint32_t request, uint64_t& missing) {
    uint8_t* buffer = buffer_.get();
    auto read = [&](uint32_t offset, uint32_t length) -> uint32_t {
        return volume_ ? volume_->ReadObjectData(object, buffer + offset, position + offset, length) : 0;
    };
    const uint32_t got = read(0, request);
    if (got >= request) return request;
    EventLog().LogError("FileRecovery: ReadedSize = %d, ReqSize = %d)", int(got), int(request));

    struct Range {
        uint32_t lo, hi;
    };
    std::vector<Range> pending;
    uint32_t readBack = 0;
    // Keeps the whole sectors a read delivered, zeros the rest of its range
    // and queues the two halves of that rest.
    auto settle = [&](Range r, uint32_t n) {
        const uint32_t keep = n - n % kSectorSize;
        readBack += keep;
        const uint32_t lo = r.lo + keep;
        std::memset(buffer + lo, 0, r.hi - lo);
        if (r.hi - lo <= kSectorSize) {
            missing += r.hi - lo;
            return;
        }
        const uint32_t half = ((r.hi - lo) / 2 + kSectorSize - 1) / kSectorSize * kSectorSize;
        pending.push_back({lo + half, r.hi});
        pending.push_back({lo, lo + half});
    };
    settle({0, request}, got);
    int budget = kSalvageReadBudget;
    while (!pending.empty() && budget > 0) {
        Range r = pending.back();
        pending.pop_back();
        const uint32_t n = read(r.lo, r.hi - r.lo);
        if (n >= r.hi - r.lo) {
            readBack += r.hi - r.lo;
            continue;
        }
        --budget;
        settle(r, n);
    }
    for (const Range& r : pending) missing += r.hi - r.lo;
    return readBack;
}

// --- Sizes of files found by content ---------------------------------------

uint64_t CRecoveryJob::NextStartAfter(const FoundObject& object, bool sameType) {
    if (!byStartReady_ && volume_) {
        for (FoundObject* r : volume_->collection.Snapshot())
            if (!r->Is(object_flag::Embedded)) byStart_.emplace_back(r->start, r);
        std::sort(byStart_.begin(), byStart_.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        byStartReady_ = true;
    }
    auto it = std::upper_bound(byStart_.begin(), byStart_.end(), object.start,
                               [](uint64_t start, const auto& e) { return start < e.first; });
    for (; it != byStart_.end(); ++it)
        if (!sameType || it->second->type == object.type) return it->first - object.start;
    return 0;
}

uint64_t CRecoveryJob::SizeByRule(const FoundObject& object, uint32_t rule, uint64_t customBytes) {
    return ApplySizeRule(
        object, rule, LookupType(object).typical, [&](bool sameType) { return NextStartAfter(object, sameType); },
        customBytes, volume_ ? volume_->totalBytes : 0);
}

bool CRecoveryJob::DecideSize(FoundObject& object) {
    // The file's own structure told where it ends: no rule can know better.
    if (object.Is(object_flag::SizeFromStructure)) return true;
    const std::string name = SafeFileName(object.name ? object.name : "");
    if (uint32_t rule = anyTypeRule.load()) {
        int32_t kb = anyTypeCustomKb.load();
        object.size = SizeByRule(object, rule, kb > 0 ? uint64_t(kb) * 1024 : 0);
        return true;
    }
    const TypeSizes type = LookupType(object);
    const uint32_t typeRule = type.type ? uint32_t(type.type->SizeRule()) : 0;
    if (typeRule >= kSizeRuleTypical && typeRule <= kSizeRuleCustom) {
        // The answer "All files of this type" holds for every later file of
        // the type; a custom size was stored as the type's typical size.
        object.size = SizeByRule(object, typeRule == kSizeRuleCustom ? kSizeRuleTypical : typeRule, 0);
        return true;
    }
    ProbableSizeQuestion question;
    if (type.type) question.typeName = type.type->DisplayName();
    question.typicalSize = type.typical;
    question.nextAnyDistance = NextStartAfter(object, false);
    question.nextSameDistance = NextStartAfter(object, true);
    ProbableSizeAnswer answer = Notifier().AskProbableSize(volume_, object, question);
    if (answer.button == kSizeSkip) {
        EventLog().LogError("FileRecovery: File '%s' skiped", name.c_str());
        return false;
    }
    if (answer.button != kSizeOk) {
        EventLog().LogError("FileRecovery: File '%s' canceled", name.c_str());
        return false;
    }
    const uint32_t rule = answer.rule >= kSizeRuleTypical && answer.rule <= kSizeRuleCustom ? answer.rule
                                                                                           : kSizeRuleTypical;
    object.size = SizeByRule(object, rule, answer.customSize);
    const int32_t customKb = int32_t(std::min<uint64_t>(answer.customSize / 1024, INT32_MAX));
    if (answer.scope == 1 && type.type) {
        type.type->SetSizeRule(int32_t(rule));
        if (rule == kSizeRuleCustom) type.type->SetWord(file_type_offset::TypicalSize, uint32_t(customKb));
    } else if (answer.scope == 2) {
        if (rule == kSizeRuleCustom) anyTypeCustomKb = customKb;
        anyTypeRule = rule;
    }
    return true;
}

CRecoveryJob& RecoveryJob() {
    static CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    return job;
}

CRecoveryJob& TryOpenJob() {
    static CRecoveryJob job(CRecoveryJob::Kind::TryOpen);
    return job;
}

}  // namespace vx
