#include "fs/Analysis.h"

#include <algorithm>
#include <chrono>

#include "common/Notifier.h"
#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/FileSystem.h"
#include "fs/FileSystem_FAT.h"
#include "fs/FileSystem_NTFS.h"
#include "fs/FileSystem_exFAT.h"
#include "fs/SectorAnalysis.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"

namespace vx {

namespace {

int64_t TickMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void LogPhaseTime(int64_t elapsedMs) {
    const int32_t elapsed = int32_t(elapsedMs);
    EventLog().LogResource(str::AnalyzeTime, int(elapsed / 60000), int((elapsed / 1000) % 60));
}

// Counts an object a phase delivered and logs a file's name when asked to.
void Count(const FoundObject* added, bool folder, std::atomic<uint32_t>& folders, std::atomic<uint32_t>& files) {
    if (folder) {
        ++folders;
        return;
    }
    ++files;
    if (added && added->name && Settings().Flag(settings_offset::LogFoundFiles))
        EventLog().LogResource(str::FoundFile, added->name);
}

}  // namespace

AnalyserChoice ChooseAnalyser(CVolume& volume) {
    AnalyserChoice choice;
    switch (volume.typeCode) {
        case 1: case 4: case 6: case 14: case 17: case 20: case 22: case 30:
            choice.analyser = std::make_unique<CFileSystem_FAT>(&volume);
            choice.rootId = object_id::FatRoot;
            break;
        case 11: case 12: case 27: case 28:
            choice.analyser = std::make_unique<CFileSystem_FAT>(&volume);
            choice.rootId = object_id::Fat32Root;
            break;
        case 7:
            if (volume.exfat) {
                choice.analyser = std::make_unique<CFileSystem_exFAT>(&volume);
                choice.rootId = object_id::ExFatRoot;
            } else {
                choice.analyser = std::make_unique<CFileSystem_NTFS>(&volume);
                choice.rootId = object_id::NtfsRoot;
            }
            break;
        default:
            break;
    }
    return choice;
}

FoundObject* OnFileSystemObject(CVolume& volume, const FoundObject& record) {
    try {
        FoundObject* added = volume.collection.AddFromFileSystem(record);
        Count(added, record.IsFolder(), volume.fsFoldersFound, volume.fsFilesFound);
        return added;
    } catch (...) {
        return nullptr;
    }
}

FoundObject* OnScanFound(CVolume& volume, const FoundObject& record) {
    try {
        switch (record.type) {
            case 7: case 1: case 4: case 11: {
                FoundObject report = record;
                report.parent = volume.Id();
                if (record.type == 7) {
                    // An exFAT backup boot sector stands for the volume 12
                    // sectors before it: reported once, at its real start.
                    auto read512 = [&volume](uint64_t at, uint8_t* out) {
                        return volume.ReadSectors(out, at / kSectorSize, 1) >= kSectorSize;
                    };
                    const uint64_t start = CFileSystem_exFAT::VolumeStartOfBootSector(read512, record.start);
                    if (start == kSizeUnknown) return nullptr;
                    report.start = start;
                }
                Computer().AddFoundVolume(report);
                return nullptr;
            }
            default:
                break;
        }
        // Search-only runs list volumes and nothing else; system formats
        // (below 30) are never lost files.
        if (volume.searchOnly || record.type < 30) return nullptr;
        // A position already listed (found by the file-system analysis, or by
        // an earlier format matching the same header) is marked, not counted.
        const bool listed = volume.collection.FindByPosition(record.start) != nullptr;
        FoundObject* added = volume.collection.AddLost(record);
        if (!listed) Count(added, record.IsFolder(), volume.sectorFoldersFound, volume.sectorFilesFound);
        return added;
    } catch (...) {
        return nullptr;
    }
}

void AnalyseFileSystem(CVolume& volume) {
    AnalysisState& state = TheAnalysisState();
    volume.fsFoldersFound = 0;
    volume.fsFilesFound = 0;
    const int64_t t0 = TickMs();
    // A phase without a total of its own (FAT) must not show the last one's.
    state.total = 0;
    state.progress = 0;
    state.phase = 1;
    state.computer = &Computer();
    EventLog().ShowStatus(str::AnalyzingFileSystem, 0);
    EventLog().LogResource(str::BeginningFsAnalysis);

    volume.collection.Clear();
    volume.collection.Add(&volume.rootRecord, true);
    AnalyserChoice choice = ChooseAnalyser(volume);
    if (choice.analyser) {
        volume.analyser = std::move(choice.analyser);
        volume.collection.rootId = choice.rootId;
        CFileSystem& analyser = *volume.analyser;
        analyser.rootFolder.id = choice.rootId;
        analyser.rootFolder.parent = volume.Id();
        volume.collection.Add(&analyser.rootFolder, true);
        (void)analyser.ParseVolume();
        volume.collection.AttachUnreachable();
    } else {
        EventLog().LogResource(str::NoFileSystem);
    }

    const int64_t elapsed = TickMs() - t0;
    state.phase = 0;
    Notifier().OnAnalysisEvent(WM_FS_ANALYSIS_DONE, &volume);
    LogPhaseTime(elapsed);
    EventLog().LogResource(str::AnalyzeFinished, int(volume.fsFoldersFound.load()), int(volume.fsFilesFound.load()));
}

void AnalyseSectors(CVolume& volume) {
    AnalysisState& state = TheAnalysisState();
    volume.sectorFoldersFound = 0;
    volume.sectorFilesFound = 0;
    state.running = 1;
    state.phase = 0;
    state.computer = &Computer();
    EventLog().ShowStatus(str::AnalyzingSectors, 0);
    EventLog().LogResource(str::BeginningSectorAnalysis);
    const int64_t t0 = TickMs();
    volume.collection.EnablePositionIndex(true);

    RunSectorScan(volume);

    const int64_t elapsed = TickMs() - t0;
    Notifier().OnAnalysisEvent(WM_SECTOR_ANALYSIS_DONE, &volume);
    EventLog().LogResource(str::AnalyzeFinished, int(volume.sectorFoldersFound.load()),
                           int(volume.sectorFilesFound.load()));
    LogPhaseTime(elapsed);
    volume.Close();
}

void Analyse(CVolume& volume) {
    CAnalysisController& controller = AnalysisController();
    try {
        EventLog().LogResource(str::InitializingDrive, volume.DisplayName().c_str());
        if (volume.OpenDrive()) {
            volume.state = VolumeState::Analyzing;
            (void)volume.ParseBootSector();
            bool sectorPhase = true;
            if (volume.typeCode != 0 && controller.fileSystemPhase) {
                AnalyseFileSystem(volume);
            } else if (volume.typeCode != 0) {
                volume.collection.Clear();
                volume.collection.Add(&volume.rootRecord, true);
            } else if (TheAnalysisState().Running()) {
                for (CVolume* child : volume.Children()) {
                    if (child->typeCode == 0) continue;
                    controller.Enqueue(child);
                    sectorPhase = false;
                    break;
                }
            }
            // Only the lost-volume search keeps boot sectors alone; a full
            // analysis lists lost files again.
            volume.searchOnly = 0;
            if (sectorPhase && controller.sectorPhase && TheAnalysisState().Running()) AnalyseSectors(volume);
        }
    } catch (...) {
        EventLog().LogError("Analyse.FatalError");
    }
    controller.EndAnalysis(&volume);
}

// --- CAnalysisController ------------------------------------------------------

CAnalysisController::CAnalysisController() = default;

CAnalysisController::~CAnalysisController() {
    TheAnalysisState().running = 0;
    std::vector<std::unique_ptr<Job>> jobs;
    {
        std::lock_guard lock(mutex_);
        jobs.swap(jobs_);
    }
    for (auto& job : jobs)
        if (job->thread.joinable()) job->thread.join();
}

void CAnalysisController::ReapFinishedLocked(std::vector<std::thread>& out) {
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        if ((*it)->finished) {
            out.push_back(std::move((*it)->thread));
            it = jobs_.erase(it);
        } else {
            ++it;
        }
    }
}

void CAnalysisController::RemoveFromQueueLocked(CVolume* volume) {
    queue_.erase(std::remove(queue_.begin(), queue_.end(), volume), queue_.end());
}

void CAnalysisController::ThreadBody(Job* job) {
    Analyse(*job->volume);
    {
        std::lock_guard lock(mutex_);
        job->finished = true;
    }
    ended_.notify_all();
}

CAnalysisController::Job* CAnalysisController::NewJobLocked(CVolume* volume) {
    auto job = std::make_unique<Job>();
    job->volume = volume;
    Job* raw = job.get();
    jobs_.push_back(std::move(job));
    return raw;
}

void CAnalysisController::StartAnalysis(CVolume* volume) {
    if (!volume) return;
    // A stopped analysis of this volume may still be winding down: let it
    // end before a new one touches the same collection.
    if (TheAnalysisState().running == 0) WaitForAnalysis(volume);
    std::vector<std::thread> done;
    {
        std::lock_guard lock(mutex_);
        ReapFinishedLocked(done);
        if (volume->state == VolumeState::Analyzing) return;
        AnalysisState& state = TheAnalysisState();
        if (state.running == 0) {
            state.running = 1;
            current_ = volume;
            state.volume = volume;
            Job* raw = NewJobLocked(volume);
            raw->thread = std::thread([this, raw] { ThreadBody(raw); });
        }
        if (std::find(queue_.begin(), queue_.end(), volume) == queue_.end()) queue_.push_back(volume);
    }
    for (auto& t : done) t.join();
}

void CAnalysisController::Enqueue(CVolume* volume) {
    std::lock_guard lock(mutex_);
    if (std::find(queue_.begin(), queue_.end(), volume) == queue_.end()) queue_.push_back(volume);
}

void CAnalysisController::EndAnalysis(CVolume* volume) {
    {
        std::lock_guard lock(mutex_);
        // A stop followed by a new start must not have its flag cleared here.
        if (current_ == volume) TheAnalysisState().running = 0;
        RemoveFromQueueLocked(volume);
    }
    volume->state = VolumeState::Ready;
    EventLog().LogResource(str::AnalyseComplete, volume->DisplayName().c_str());
    Notifier().OnAnalysisEvent(WM_ANALYSIS_FINISHED, volume);
}

bool CAnalysisController::StopAnalysis(CVolume* volume, bool noConfirm) {
    AnalysisState& state = TheAnalysisState();
    if (Settings().Flag(settings_offset::ConfirmScanAbort) && state.running != 0 && !noConfirm) {
        if (!Notifier().Confirm(0, "Are you sure you want to stop analysing?")) return false;
    }
    state.running = 0;
    {
        std::lock_guard lock(mutex_);
        RemoveFromQueueLocked(volume);
    }
    if (volume) volume->state = VolumeState::Ready;
    if (volume && !WaitForAnalysis(volume, 1000))
        EventLog().LogResource(str::AnalyseComplete, volume->DisplayName().c_str());
    return true;
}

bool CAnalysisController::WaitForAnalysis(CVolume* volume, int timeoutMs) {
    std::vector<std::thread> done;
    bool ended;
    {
        std::unique_lock lock(mutex_);
        auto idle = [&] {
            for (auto& job : jobs_)
                if (job->volume == volume && !job->finished) return false;
            return true;
        };
        if (timeoutMs < 0) {
            ended_.wait(lock, idle);
            ended = true;
        } else {
            ended = ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle);
        }
        ReapFinishedLocked(done);
    }
    for (auto& t : done) t.join();
    return ended;
}

bool CAnalysisController::IsAnalysing(CVolume* volume) const {
    std::lock_guard lock(mutex_);
    for (auto& job : jobs_)
        if (job->volume == volume && !job->finished) return true;
    return false;
}

std::vector<CVolume*> CAnalysisController::Queue() const {
    std::lock_guard lock(mutex_);
    return queue_;
}

CVolume* CAnalysisController::CurrentVolume() const {
    std::lock_guard lock(mutex_);
    return current_;
}

CAnalysisController& AnalysisController() {
    static CAnalysisController controller;
    return controller;
}

}  // namespace vx
