#pragma once
// CSearcher: one worker of the sector scan. It owns a block buffer and a
// thread; the controller hands it a filled block, it tests every 512-byte
// position of the block and reports each match to the scan's sink.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "signatures/sizes/SizeRule.h"

namespace vx {

class CSectorScan;
struct FoundObject;

class CSearcher {
public:
    CSearcher(CSectorScan& owner, uint32_t index, uint32_t blockSize);
    ~CSearcher();
    CSearcher(const CSearcher&) = delete;
    CSearcher& operator=(const CSearcher&) = delete;

    // Starts the worker's thread; false when it could not be started.
    bool Start();
    // Asks the thread to end after its block and waits for it.
    void Stop();

    // A worker holds the block it matches and one more, queued, so that it
    // never waits for the controller while blocks are read faster than it
    // matches them.
    // Nothing matched and nothing queued.
    bool Idle() const;
    // Room for a queued block.
    bool CanTake() const;
    // Controller side, only when CanTake: exchanges the worker's free buffer
    // with a filled one, which the worker matches next.
    // `valid` bytes of it hold the volume's data (the rest is zeros).
    void Hand(std::unique_ptr<uint8_t[]>& filled, uint64_t firstSector, uint64_t valid);

    // Tests every position of the current block (the worker thread's loop
    // body; public for tests).
    int ParseBlock();

    uint32_t index() const { return index_; }

private:
    void ThreadMain();
    // Applies the size rule of the candidate's format; false drops it.
    bool ApplySizeRule(FoundObject& candidate, const uint8_t* at);
    // The size the candidate's own structure gives; false drops it.
    bool ApplyStructuralSize(FoundObject& candidate);

    CSectorScan& owner_;
    const uint32_t index_;
    const uint32_t blockSize_;
    std::unique_ptr<uint8_t[]> buffer_;   // the block being matched
    uint64_t firstSector_ = 0;
    uint64_t valid_ = 0;
    std::unique_ptr<uint8_t[]> next_;     // queued block, or a free buffer
    uint64_t nextSector_ = 0;
    uint64_t nextValid_ = 0;
    bool hasNext_ = false;
    std::vector<int32_t> matches_;
    std::vector<uint8_t> window_;  // the structural size rules' read window
    // The last structural result, reused by the formats that share a rule
    // at one position (the TIFF-based rows).
    uint64_t lastStart_ = ~uint64_t(0);
    const void* lastRule_ = nullptr;
    StructuralSize lastResult_;
    // The end of the last file whose structure was walked to its end: matches
    // inside it are its own content (members, thumbnails), not lost files.
    uint64_t coveredEnd_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool hasWork_ = false;
    bool exit_ = false;
    std::thread thread_;
};

// Sets the calling thread to the lowest scheduling priority. Returns the
// nice value it had.
int LowerThreadPriority();
void RestoreThreadPriority(int nice);

}  // namespace vx
