#pragma once
// Drive images: the copy of a volume's sectors into a raw file, on a thread
// of its own, that a progress view polls. An unreadable stretch does not end
// the copy: its sectors are written as zeros so every later byte keeps its
// offset, and the job counts them.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/Volume.h"

namespace vx {

struct UnreadableRun {
    uint64_t first = 0;   // sector of the source
    uint64_t count = 0;
};

class CImageJob {
public:
    enum class Outcome {
        Running,
        Done,              // every sector was copied (unreadable ones as zeros)
        Stopped,           // stopped by the user; the file keeps what was written
        SourceNotOpened,
        CreateFailed,      // see CreateError()
        TargetOnSource,    // the image would be written onto the source itself
        WriteFailed,
    };

    // `overwrite` false: the image file must not exist yet.
    CImageJob(CVolume& source, std::string imagePath, bool overwrite);
    ~CImageJob();  // stops the copy and waits for it
    CImageJob(const CImageJob&) = delete;
    CImageJob& operator=(const CImageJob&) = delete;

    // Starts DriveCreateImage on its own thread; false when already started.
    bool Start();
    // Asks the copy to stop after the chunk in hand.
    void Stop() { stopRequested_ = true; }
    void Wait();

    CVolume& Source() const { return source_; }
    const std::string& ImagePath() const { return imagePath_; }

    // Polled by progress views.
    bool Running() const { return running_.load(); }
    bool Finished() const { return outcome_.load() != Outcome::Running; }
    Outcome Result() const { return outcome_.load(); }
    int CreateError() const { return createError_.load(); }
    uint64_t TotalSectors() const { return totalSectors_.load(); }
    uint64_t CurrentSector() const { return currentSector_.load(); }
    uint64_t BytesWritten() const { return bytesWritten_.load(); }
    uint64_t UnreadableSectors() const { return unreadable_.load(); }
    std::vector<UnreadableRun> UnreadableRuns() const;
    std::chrono::system_clock::time_point StartTime() const;
    // Time since the copy began (until it ended, once it has).
    std::chrono::milliseconds Elapsed() const;

    // The copy loop (the thread body); callable directly for a synchronous copy.
    void DriveCreateImage();

    // 2 MiB: the chunk read from the source at once.
    static constexpr uint64_t kChunkSectors = 4096;

private:
    class Writer;
    bool CopyChunk(Writer& out, std::vector<uint8_t>& buffer, uint64_t sector, uint64_t count, bool& sourceEnded);
    void RecordUnreadable(uint64_t sector);
    void FlushRun();
    void Finish(Outcome outcome);

    CVolume& source_;
    CVolumeUse use_;  // a rescan leaves the source alone while the job exists
    const std::string imagePath_;
    const bool overwrite_;
    std::thread thread_;

    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<Outcome> outcome_{Outcome::Running};
    std::atomic<int> createError_{0};
    std::atomic<uint64_t> totalSectors_{0};
    std::atomic<uint64_t> currentSector_{0};
    std::atomic<uint64_t> bytesWritten_{0};
    std::atomic<uint64_t> unreadable_{0};

    mutable std::mutex mutex_;  // guards the runs and the times
    std::vector<UnreadableRun> runs_;
    UnreadableRun openRun_;
    std::chrono::system_clock::time_point startTime_{};
    std::chrono::steady_clock::time_point startTick_{};
    std::chrono::steady_clock::time_point endTick_{};
};

// Starts copying `volume` into `imagePath`; the job is null when the thread
// could not be started.
std::unique_ptr<CImageJob> CreateImage(CVolume& volume, const std::string& imagePath, bool overwrite);

// The sectors an image of `volume` holds: its total sectors, or for a disk,
// partition or image file whose size is not a multiple of 512, enough
// sectors to take the last bytes too.
uint64_t ImageSectorCount(const CVolume& volume);

}  // namespace vx
