#include "signatures/SectorScan.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "common/Strings.h"
#include "device/Volume.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "signatures/Searcher.h"

namespace vx {

CSectorScan::CSectorScan(CVolume& volume, const IScanMatcher& matcher, IScanSink& sink, ScanControl control)
    : volume_(volume), matcher_(matcher), sink_(sink), control_(control) {}

CSectorScan::~CSectorScan() { StopWorkers(); }

void CSectorScan::WorkerDone() {
    { std::lock_guard lock(mutex_); }  // a controller between its idle test and its wait sees this notification
    idle_.notify_all();
}

void CSectorScan::StartWorkers() {
    uint32_t count = Settings().Word(settings_offset::ScanWorkerCount);
    if (count == 0) count = 1;  // no worker would make the scan stand still
    if (count > kMaxScanWorkers) count = kMaxScanWorkers;
    for (uint32_t i = 0; i < count; ++i) {
        auto worker = std::make_unique<CSearcher>(*this, uint32_t(workers_.size()), blockSize_);
        if (worker->Start()) workers_.push_back(std::move(worker));
    }
}

void CSectorScan::StopWorkers() {
    for (auto& worker : workers_) worker->Stop();  // joins: no buffer is freed under a worker
    workers_.clear();
}

CSearcher* CSectorScan::WaitForFreeWorker() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // A worker with nothing to do first, else one with room for a queued block.
        for (auto& worker : workers_)
            if (worker->Idle()) return worker.get();
        for (auto& worker : workers_)
            if (worker->CanTake()) return worker.get();
        if (!Running() || workers_.empty()) return nullptr;
        idle_.wait_for(lock, std::chrono::milliseconds(100));
    }
}

void CSectorScan::LimitToRuns(std::vector<SectorRun> runs, uint32_t step) {
    runs_ = std::move(runs);
    limited_ = true;
    step_ = step >= kScanStep && step % kScanStep == 0 ? step : kScanStep;
}

uint64_t CSectorScan::ReadBlock(uint8_t* buffer, uint64_t firstSector, uint64_t wanted) {
    uint64_t count = std::min<uint64_t>(blockSize_ / kSectorSize, wanted);
    if (firstSector >= totalSectors_) count = 0;
    else if (firstSector + count > totalSectors_) count = totalSectors_ - firstSector;
    uint64_t n = count ? volume_.ReadSectors(buffer, firstSector, count) : 0;
    bytesRead_ += n;
    if (n != 0) {
        // A block read short (the end of the volume) is scanned whole: the rest is zeros.
        if (n < blockSize_) std::memset(buffer + n, 0, blockSize_ - n);
        return n;
    }
    std::memset(buffer, 0, blockSize_);

    // Read the block again sector by sector; what stays unreadable is zeros.
    uint64_t runStart = 0, runLength = 0;
    auto endRun = [&] {
        if (runLength == 0) return;
        EventLog().LogError("Unreadable sectors %lld to %lld scanned as zeros", (long long)runStart,
                            (long long)(runStart + runLength - 1));
        unreadable_ += runLength;
        runLength = 0;
    };
    for (uint64_t i = 0; i < count && Running(); ++i) {
        if (volume_.ReadSectors(buffer + i * kSectorSize, firstSector + i, 1) != 0) {
            n += kSectorSize;
            bytesRead_ += kSectorSize;
            endRun();
        } else {
            if (runLength == 0) runStart = firstSector + i;
            ++runLength;
        }
    }
    endRun();
    return n;
}

int CSectorScan::RunScan() {
    control_.running = 1;
    const bool open = volume_.OpenDrive() != 0;
    Settings().SetWord(settings_offset::ScanMode, 1);

    sectorsPerCluster_ = volume_.sectorsPerCluster ? volume_.sectorsPerCluster : 1;
    bytesPerCluster_ = sectorsPerCluster_ * kSectorSize;
    totalSectors_ = volume_.totalSectors ? volume_.totalSectors : volume_.totalClusters * sectorsPerCluster_;
    if (open) {
        // Never read past the end of the device, whatever a boot sector claims.
        const uint64_t size = volume_.Reader() ? volume_.Reader()->Size() : 0;
        const uint64_t available = size > volume_.startOffset ? (size - volume_.startOffset) / kSectorSize : 0;
        if (size != 0 && totalSectors_ > available) totalSectors_ = available;
    }
    const uint64_t totalUnits =
        volume_.totalClusters ? volume_.totalClusters : (totalSectors_ + sectorsPerCluster_ - 1) / sectorsPerCluster_;
    control_.total = totalUnits;

    uint32_t blockSize = Settings().Word(settings_offset::ScanBlockSize);
    if (blockSize == 0) {
        blockSize = kDefaultScanBlockSize;
        Settings().SetWord(settings_offset::ScanBlockSize, blockSize);
    }
    // Whole clusters, at least one, and within reason for the memory it takes.
    if (blockSize > kMaxScanBlockSize) blockSize = kMaxScanBlockSize;
    blockSize -= blockSize % bytesPerCluster_;
    if (blockSize == 0) blockSize = bytesPerCluster_;
    blockSize_ = blockSize;

    EventLog().LogResource(str::SectorsStarted);
    if (!open) {
        control_.progress = 0;
        return 0;
    }

    spare_.reset(new uint8_t[blockSize_]());
    StartWorkers();
    const int oldNice = LowerThreadPriority();

    const uint64_t blockSectors = blockSize_ / kSectorSize;
    const uint64_t startSector = control_.startUnit * sectorsPerCluster_;
    if (!limited_) runs_ = {{startSector, totalSectors_ > startSector ? totalSectors_ - startSector : 0}};
    for (const SectorRun& run : runs_) {
        if (!Running()) break;
        const uint64_t runEnd = std::min(run.start + run.count, totalSectors_);
        bool handed = true;
        for (uint64_t sector = std::max(run.start, startSector); sector < runEnd && Running(); sector += blockSectors) {
            const uint64_t n = ReadBlock(spare_.get(), sector, runEnd - sector);
            const uint64_t done = (sector * kSectorSize + n) / bytesPerCluster_;
            control_.progress = done < totalUnits ? done : totalUnits;
            handed = false;
            if (!Running()) break;
            CSearcher* worker = WaitForFreeWorker();
            if (!worker || !Running()) break;
            worker->Hand(spare_, sector, (std::min(runEnd, totalSectors_) - sector) * kSectorSize >= blockSize_
                                             ? blockSize_
                                             : (runEnd - sector) * kSectorSize);
            handed = true;
        }
        if (!handed) break;
    }
    if (limited_ && Running()) control_.progress = totalUnits;

    // Let the workers finish their blocks (at once when stopped), then join them.
    {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [&] {
            for (auto& worker : workers_)
                if (!worker->Idle()) return false;
            return true;
        });
    }
    StopWorkers();
    spare_.reset();
    RestoreThreadPriority(oldNice);
    volume_.Close();
    return 0;
}

}  // namespace vx
