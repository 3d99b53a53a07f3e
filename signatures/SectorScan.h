#pragma once
// CSectorScan: the sector scan of a volume. The controller reads the volume
// from its first sector to its last in large blocks with positioned reads and
// hands each filled block to a worker (CSearcher), which tests every 512-byte
// position against the file-type database and hands each match to the scan's
// sink as a lost-file candidate. Reading overlaps matching: the controller
// fills a spare buffer and swaps it with a free buffer of the worker it hands
// the block to; each worker holds the block it matches and one queued block.
// A buffer belongs to one side at a time, and memory stays at
// (2 x workers + 1) blocks for the whole scan.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "common/Bytes.h"
#include "fs/FileSystem.h"
#include "fs/FoundObject.h"

namespace vx {

class CVolume;
class CSearcher;

inline constexpr uint32_t kDefaultScanBlockSize = 2097152;  // 2 MiB
inline constexpr uint32_t kMaxScanBlockSize = 64u << 20;
inline constexpr uint32_t kMaxScanWorkers = 64;
inline constexpr uint32_t kScanStep = 512;

// What the scan asks of the file-type database.
class IScanMatcher {
public:
    virtual ~IScanMatcher() = default;
    // Appends to `out` the ids of the formats that start at `offset` of
    // `block`, in the database's list order. Called from several threads.
    virtual void MatchAt(ByteSpan block, size_t offset, std::vector<int32_t>& out) const = 0;
};

// Where candidates go: the add operation of the volume's analysis. Called
// from the worker threads, concurrently when there are several.
class IScanSink {
public:
    virtual ~IScanSink() = default;
    virtual void OnScanFound(std::unique_ptr<FoundObject> candidate) = 0;
};

// The analysis state the scan shares with whoever may stop it. Units are
// clusters of the volume descriptor.
struct ScanControl {
    std::atomic<int32_t>& running;
    std::atomic<uint64_t>& total;
    std::atomic<uint64_t>& progress;
    uint64_t startUnit = 0;
};

class CSectorScan {
public:
    CSectorScan(CVolume& volume, const IScanMatcher& matcher, IScanSink& sink, ScanControl control);
    ~CSectorScan();
    CSectorScan(const CSectorScan&) = delete;
    CSectorScan& operator=(const CSectorScan&) = delete;

    // Restricts the scan to these runs (the free clusters of the volume),
    // testing only their cluster starts.
    void LimitToRuns(std::vector<SectorRun> runs, uint32_t step);

    // The whole scan on the calling thread; returns when every block was
    // matched or the running flag was cleared, with every worker joined.
    int RunScan();

    // Sectors that could not be read and were scanned as zeros.
    uint64_t UnreadableSectors() const { return unreadable_.load(); }
    uint32_t BlockSize() const { return blockSize_; }
    // Bytes the scan read in blocks (look-ahead reads not counted).
    uint64_t BytesRead() const { return bytesRead_.load(); }
    // Bytes between tested positions: 512, or the cluster size in free runs.
    uint32_t Step() const { return step_; }

    // --- For the workers -----------------------------------------------------
    CVolume& Volume() const { return volume_; }
    const IScanMatcher& Matcher() const { return matcher_; }
    IScanSink& Sink() const { return sink_; }
    bool Running() const { return control_.running.load(std::memory_order_relaxed) != 0; }
    uint32_t BytesPerCluster() const { return bytesPerCluster_; }
    // The sectors the scan may read: the volume's, clipped to the device.
    uint64_t TotalSectors() const { return totalSectors_; }
    // A worker finished its block.
    void WorkerDone();

    // Fills `buffer` (block size bytes) with `count` sectors (at most a
    // block) at `firstSector`, clipped to the volume's end; the rest of the
    // block and unreadable sectors read as zeros. Returns the bytes read.
    uint64_t ReadBlock(uint8_t* buffer, uint64_t firstSector, uint64_t count = ~uint64_t(0));

private:
    // A worker with room for a block; null when the scan was stopped.
    CSearcher* WaitForFreeWorker();
    void StartWorkers();
    void StopWorkers();

    CVolume& volume_;
    const IScanMatcher& matcher_;
    IScanSink& sink_;
    ScanControl control_;
    uint32_t blockSize_ = kDefaultScanBlockSize;
    uint32_t bytesPerCluster_ = 512;
    uint32_t sectorsPerCluster_ = 1;
    uint64_t totalSectors_ = 0;
    std::vector<std::unique_ptr<CSearcher>> workers_;
    std::unique_ptr<uint8_t[]> spare_;
    std::atomic<uint64_t> unreadable_{0};
    std::atomic<uint64_t> bytesRead_{0};
    std::vector<SectorRun> runs_;
    bool limited_ = false;
    uint32_t step_ = kScanStep;

    std::mutex mutex_;
    std::condition_variable idle_;
};

}  // namespace vx
