#include "fs/SectorAnalysis.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "fs/FileSystem.h"
#include "settings/ProgramSettings.h"
#include "settings/EventLog.h"
#include "signatures/SectorScan.h"
#include "signatures/SectorScanMatcher.h"

namespace vx {

namespace {

// Hands the scan's candidates to the add hook one at a time: the counters,
// the found-volume list and the log lines are shared by every worker.
// The database's formats, and exFAT boot sectors besides: exFAT shares its
// partition type (7) with NTFS, and a found boot sector of either is
// reported under it; the found volume's own boot sector tells them apart.
class CVolumeScanMatcher final : public IScanMatcher {
public:
    void MatchAt(ByteSpan block, size_t offset, std::vector<int32_t>& out) const override {
        database_.MatchAt(block, offset, out);
        if (InRange(block, offset, kSectorSize) && CVolume::IsExFatBootSector(block.data() + offset) &&
            std::find(out.begin(), out.end(), kPartitionTypeNtfsExFat) == out.end())
            out.push_back(kPartitionTypeNtfsExFat);
    }

private:
    static constexpr int32_t kPartitionTypeNtfsExFat = 7;
    CDatabaseScanMatcher database_;
};

class CVolumeScanSink final : public IScanSink {
public:
    explicit CVolumeScanSink(CVolume& volume) : volume_(volume) {}
    void OnScanFound(std::unique_ptr<FoundObject> candidate) override {
        std::lock_guard lock(mutex_);
        vx::OnScanFound(volume_, *candidate);
    }

private:
    CVolume& volume_;
    std::mutex mutex_;
};

}  // namespace

uint64_t RunSectorScan(CVolume& volume) {
    AnalysisState& analysis = TheAnalysisState();
    analysis.progress = 0;
    // Lost files are filed under group folders below "Lost files".
    if (!volume.searchOnly) volume.collection.LostFilesRoot();
    CVolumeScanMatcher matcher;
    CVolumeScanSink sink(volume);
    CSectorScan scan(volume, matcher, sink, ScanControl{analysis.running, analysis.total, analysis.progress,
                                                        analysis.startUnit.load()});
    // "Scan free drive space only": when the file-system phase filled the
    // cluster bitmap, only the clusters it marks free are read and tested.
    std::vector<SectorRun> runs;
    if (Settings().Flag(settings_offset::ScanFreeSpaceOnly) && !volume.searchOnly && volume.analyser &&
        volume.analyser->FreeSectorRuns(runs))
        scan.LimitToRuns(std::move(runs), volume.bytesPerCluster);
    scan.RunScan();
    volume.scanBytesRead = scan.BytesRead();
    const uint64_t unreadable = scan.UnreadableSectors();
    volume.unreadableSectors = unreadable;
    if (unreadable) EventLog().LogError("%lld unreadable sector(s) were scanned as zeros", (long long)unreadable);
    return unreadable;
}

void CVolume::StartSectorAnalysis(bool searchOnlyFlag) {
    WaitForSectorAnalysis();
    AnalysisState& analysis = TheAnalysisState();
    searchOnly = searchOnlyFlag ? 1 : 0;
    analysis.running = 1;
    analysis.progress = 0;
    analysis.total = totalClusters;
    analysis.volume = this;
    sectorAnalysisActive = true;
    sectorAnalysisThread = std::thread([this] {
        state = VolumeState::Analyzing;
        try {
            AnalyseSectors(*this);
        } catch (...) {
            EventLog().LogError("AnalyseSectors.FatalError");
        }
        state = VolumeState::Ready;
        // The search is over: leave the flag clear so that the next analysis starts.
        TheAnalysisState().running = 0;
        sectorAnalysisActive = false;
    });
}

void CVolume::StopSectorAnalysis() {
    if (sectorAnalysisActive) TheAnalysisState().running = 0;
    WaitForSectorAnalysis();
}

void CVolume::WaitForSectorAnalysis() {
    if (sectorAnalysisThread.joinable() && sectorAnalysisThread.get_id() != std::this_thread::get_id())
        sectorAnalysisThread.join();
}

}  // namespace vx
