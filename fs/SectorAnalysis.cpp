// The sector phase of an analysis: the sector scan over the whole volume,
// whose matches become lost files of the volume's collection or, for boot
// sectors, Found volumes. Also the lost-volume search's thread.
#include <chrono>
#include <mutex>

#include "common/Notifier.h"
#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/AnalysisState.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "signatures/SectorScan.h"
#include "signatures/SectorScanMatcher.h"

namespace vx {

namespace {

// Boot-sector formats and what else the add hook drops.
bool IsBootSectorFormat(int32_t type) { return type == 1 || type == 4 || type == 7 || type == 11; }
constexpr int32_t kNtfsFileRecord = 24;
constexpr int32_t kNtfsIndexRecord = 25;
constexpr int32_t kFirstFileFormat = 30;

// Hands the scan's candidates to the volume one at a time: the counters, the
// found-volume list and the log lines are shared by every worker.
class CVolumeScanSink final : public IScanSink {
public:
    explicit CVolumeScanSink(CVolume& volume) : volume_(volume) {}
    void OnScanFound(std::unique_ptr<FoundObject> candidate) override {
        std::lock_guard lock(mutex_);
        volume_.OnScanFound(*candidate);
    }
private:
    CVolume& volume_;
    std::mutex mutex_;
};

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void CVolume::OnScanFound(const FoundObject& record) {
    try {
        if (IsBootSectorFormat(record.type)) {
            FoundObject report = record;
            report.parent = Id();
            Computer().AddFoundVolume(report);
            return;
        }
        if (searchOnly || record.type == kNtfsFileRecord || record.type == kNtfsIndexRecord) return;
        if (record.type < kFirstFileFormat) return;
        FoundObject* added = collection.AddLost(record);
        if (!added) return;
        if (added->IsFolder()) {
            ++sectorFoldersFound;
        } else {
            ++sectorFilesFound;
            if (Settings().Flag(settings_offset::LogFoundFiles))
                EventLog().LogResource(str::FoundFile, added->name ? added->name : "");
        }
    } catch (...) {
    }
}

void CVolume::AnalyseSectors() {
    AnalysisState& analysis = TheAnalysisState();
    sectorFoldersFound = 0;
    sectorFilesFound = 0;
    analysis.running = 1;
    analysis.computer = &Computer();
    analysis.volume = this;
    EventLog().ShowStatus(str::AnalyzingSectors, 0);
    EventLog().LogResource(str::BeginningSectorAnalysis);
    const int64_t t0 = NowMs();

    collection.EnablePositionIndex(true);
    if (!searchOnly) collection.LostFilesRoot();
    uint64_t unreadable = 0;
    {
        CDatabaseScanMatcher matcher;
        CVolumeScanSink sink(*this);
        CSectorScan scan(*this, matcher, sink, ScanControl{analysis.running, analysis.total, analysis.progress, analysis.startUnit});
        scan.RunScan();
        unreadable = scan.UnreadableSectors();
    }
    unreadableSectors = unreadable;
    if (unreadable)
        EventLog().LogError("%lld unreadable sector(s) were scanned as zeros", (long long)unreadable);

    const int32_t elapsed = int32_t(NowMs() - t0);
    Notifier().OnAnalysisEvent(WM_SECTOR_ANALYSIS_DONE, this);
    EventLog().LogResource(str::AnalyzeFinished, int(sectorFoldersFound.load()), int(sectorFilesFound.load()));
    EventLog().LogResource(str::AnalyzeTime, elapsed / 60000, (elapsed / 1000) % 60);
    Close();
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
            AnalyseSectors();
        } catch (...) {
            EventLog().LogError("AnalyseSectors.FatalError");
        }
        state = VolumeState::Ready;
        // The search is over: leave the flag clear so the next analysis starts.
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
