#pragma once
// The analysis controller: starts and queues analyses, runs each on a thread
// of its own through its two phases (the file-system analysis, then the
// sector scan), delivers what the phases find into the volume's collection,
// keeps the counters, logs the phase lines, and stops cooperatively.
//
// Only one analysis runs at a time in the process. A stop clears the running
// flag of the analysis state; every long loop checks it and the thread ends
// on its own. No thread is ever killed.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "fs/AnalysisState.h"
#include "fs/FoundObject.h"

namespace vx {

class CVolume;
class CFileSystem;

// The analyser for a volume's type code and the id of its root folder; null
// when no analyser reads that file system.
struct AnalyserChoice {
    std::unique_ptr<CFileSystem> analyser;
    int32_t rootId = 0;
};
AnalyserChoice ChooseAnalyser(CVolume& volume);

// The phases, run on the analysis thread (also callable directly, as the
// tests and the command-line tool do).
void Analyse(CVolume& volume);
void AnalyseFileSystem(CVolume& volume);
void AnalyseSectors(CVolume& volume);

// Add hooks. OnFileSystemObject: a directory analysis found `record` (copied
// into the collection). OnScanFound: the sector scan found `record`.
FoundObject* OnFileSystemObject(CVolume& volume, const FoundObject& record);
FoundObject* OnScanFound(CVolume& volume, const FoundObject& record);

class CAnalysisController {
public:
    CAnalysisController();
    ~CAnalysisController();
    CAnalysisController(const CAnalysisController&) = delete;
    CAnalysisController& operator=(const CAnalysisController&) = delete;

    // Requests an analysis: starts it when none runs, queues the volume
    // otherwise. A volume already being analysed is left alone.
    void StartAnalysis(CVolume* volume);
    // Appends the volume to the queue without starting anything (what a
    // request made while an analysis runs amounts to).
    void Enqueue(CVolume* volume);
    // Called by the analysis thread when it is done.
    void EndAnalysis(CVolume* volume);
    // Asks the running analysis of `volume` to stop (after the user's
    // confirmation unless `noConfirm`) and waits up to one second for its
    // thread to end. True when stopped; false when the user said no.
    bool StopAnalysis(CVolume* volume, bool noConfirm);

    // Waits until the analysis thread of `volume` has ended (forever when
    // `timeoutMs` is negative). True when no thread of it runs any more.
    bool WaitForAnalysis(CVolume* volume, int timeoutMs = -1);
    bool IsAnalysing(CVolume* volume) const;

    std::vector<CVolume*> Queue() const;
    CVolume* CurrentVolume() const;
    AnalysisState& state() { return TheAnalysisState(); }

    // Whether an analysis goes on to the sector scan after the file system.
    std::atomic<bool> sectorPhase{true};
    // Whether an analysis reads the file system's own structures first; when
    // not, the collection starts empty and only the sector scan fills it.
    std::atomic<bool> fileSystemPhase{true};

private:
    struct Job {
        CVolume* volume;
        std::thread thread;
        bool finished = false;
    };
    void RemoveFromQueueLocked(CVolume* volume);
    void ReapFinishedLocked(std::vector<std::thread>& out);
    void ThreadBody(Job* job);
    Job* NewJobLocked(CVolume* volume);

    mutable std::mutex mutex_;
    std::condition_variable ended_;
    std::vector<CVolume*> queue_;
    std::vector<std::unique_ptr<Job>> jobs_;
    CVolume* current_ = nullptr;
};

// The analysis controller of the process.
CAnalysisController& AnalysisController();

}  // namespace vx
