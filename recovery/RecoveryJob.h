#pragma once
// CRecoveryJob: one kind of run that copies found objects out of a volume
// into ordinary files, on its own thread, one object after another. The
// recovery job writes below the destination folder setting; the try-open job
// writes below the temporary folder and opens the file it wrote last.
//
// Files are only ever created below the run's root folder: every folder and
// file below it is reached through directory descriptors without following
// symbolic links, and every name read from the source is made one safe path
// component first.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fs/FoundObject.h"

namespace vx {

class CVolume;

enum SizeRule : uint32_t {
    kSizeRuleNone = 0,
    kSizeRuleTypical = 1,   // typical size of the file type
    kSizeRuleNextAny = 2,   // distance to the next file of any type
    kSizeRuleNextSame = 3,  // distance to the next file of the same type
    kSizeRuleCustom = 4,    // a size given by the user
};

inline constexpr uint32_t kRecoveryChunk = 0x200000;

// What happened to each object of a run.
enum class RecoveryOutcome : uint8_t {
    Pending,
    Written,     // every byte read and written
    Short,       // written, but some bytes could not be read (zeros there) or a write failed
    Skipped,     // unknown size, or skipped or cancelled at the size question
    Failed,      // the folder or the file could not be created, or nothing could be read
    Folder,      // a folder object: its directory exists
};

struct RecoveryTotals {
    uint64_t written = 0;    // files written whole
    uint64_t shortFiles = 0;
    uint64_t skipped = 0;
    uint64_t failed = 0;
    uint64_t folders = 0;
    uint64_t bytes = 0;      // bytes written
    uint64_t unreadableSectors = 0;
};

class CRecoveryJob {
public:
    enum class Kind { Recovery, TryOpen };

    explicit CRecoveryJob(Kind kind);
    ~CRecoveryJob();
    CRecoveryJob(const CRecoveryJob&) = delete;
    CRecoveryJob& operator=(const CRecoveryJob&) = delete;

    // The object list: filled before a run starts, not changed while it runs.
    std::vector<FoundObject*> objects;

    // Start a run over `objects` of `volume`; return at once. 0 when a run
    // is still going.
    int StartRecovery(CVolume* volume);
    int StartTryOpen(CVolume* volume);
    // Asks the run to stop after the chunk being written. Does not wait.
    void StopJob();
    // Waits for the run's thread to end (the command-line tool and tests).
    void Wait();

    // The same-device check with the chance to pick another folder through
    // the notifier. 1 to go on, 0 to give up; `folder` may be replaced.
    int CheckDestinationDrive(std::string& folder);
    // Recovers one object below `root` (the destination folder setting when null).
    RecoveryOutcome RecoverObject(FoundObject& object, const std::string* root);
    // Creates every missing folder of an absolute path; 1 when it is a folder afterwards.
    static int CreateFolderPath(const std::string& path);
    // Offers to delete the files try-open runs wrote; always 1.
    int DeleteTemporaryFiles();

    // --- Progress, read by other threads while the run goes on ---------------
    int32_t CurrentIndex() const { return currentIndex_.load(); }
    int CurrentProgress() const { return progress_.load(); }
    bool Finished() const { return finished_.load(); }
    bool Running() const;
    std::string CurrentFile() const;
    FoundObject* CurrentObject() const;
    uint64_t BytesWritten() const { return bytesWritten_.load(); }
    RecoveryTotals Totals() const;
    // Outcome of each listed object, in list order, once the run has ended.
    std::vector<RecoveryOutcome> Outcomes() const;
    std::vector<std::string> TemporaryFiles() const;

    // Called on the run's thread after each chunk is written (tests, progress).
    std::function<void(const CRecoveryJob&)> onChunk;

    // Remembered answer "All files of any type" of the size question.
    std::atomic<uint32_t> anyTypeRule{0};
    std::atomic<int32_t> anyTypeCustomKb{-1};

private:
    int Start(CVolume* volume, Kind kind);
    void RunThread();
    bool DecideSize(FoundObject& object);
    uint64_t SizeByRule(const FoundObject& object, uint32_t rule, uint64_t customBytes);
    uint64_t NextStartAfter(const FoundObject& object, bool sameType);
    RecoveryOutcome FileRecovery(FoundObject& object, int folderFd, const std::string& folder, const std::string& name);
    uint32_t ReadChunk(FoundObject& object, uint64_t position, uint32_t request, uint64_t& missing);
    bool OpenRoot(const std::string& root);
    int FolderFor(const FoundObject& object, std::string& relative, std::string& sourcePath);
    int OpenRelative(const std::vector<std::string>& parts, const std::vector<const FoundObject*>& records);
    void StampFolders();
    void CloseRun();
    void SetCurrent(const std::string& path, FoundObject* object);

    const Kind kind_;
    CVolume* volume_ = nullptr;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> running_{false};
    std::atomic<int32_t> currentIndex_{0};
    std::atomic<int> progress_{0};
    std::atomic<uint64_t> bytesWritten_{0};
    std::unique_ptr<uint8_t[]> buffer_;

    mutable std::mutex mutex_;   // guards the fields below that other threads read
    std::string currentFile_;
    FoundObject* currentObject_ = nullptr;
    RecoveryTotals totals_;
    std::vector<RecoveryOutcome> outcomes_;
    std::vector<std::string> temporaryFiles_;

    // State of one run, touched by the run's thread only.
    std::string root_;
    int rootFd_ = -1;
    int cachedFd_ = -1;
    std::string cachedRelative_;
    std::unordered_map<int32_t, std::pair<std::vector<std::string>, std::vector<const FoundObject*>>> pathCache_;
    std::unordered_map<int32_t, std::string> sourcePathCache_;
    std::unordered_set<std::string> writtenThisRun_;
    std::unordered_map<std::string, const FoundObject*> foldersToStamp_;
    std::vector<std::pair<uint64_t, const FoundObject*>> byStart_;
    bool byStartReady_ = false;
};

// The two jobs of the process.
CRecoveryJob& RecoveryJob();
CRecoveryJob& TryOpenJob();

}  // namespace vx
