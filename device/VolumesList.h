#pragma once
// CVolumesList: every volume the user can choose. It owns its volumes; a
// rescan replaces the probed disks and partitions, drops the Found volumes
// and keeps the Image and Virtual ones (with the volumes found inside them)
// after the probed drives.
//
// A probed volume is in the list while its query thread still fills the
// descriptor. Until its state leaves QueryInformation only its kind, id,
// parent, children, drive type, kernel name and device path may be read.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vx {

class CVolume;
class CLocalComputer;

class CVolumesList {
public:
    explicit CVolumesList(CLocalComputer& computer);
    ~CVolumesList();
    CVolumesList(const CVolumesList&) = delete;
    CVolumesList& operator=(const CVolumesList&) = delete;

    // Rebuilds the list now and returns its length. Waits at most
    // kQueryWait for the information queries; slower ones keep running.
    // Changes nothing (and logs why) while a volume it would drop is in use.
    size_t Rescan();
    // Starts Rescan on a thread of its own and returns at once (false when a
    // rescan is already running).
    bool StartRescan();
    // Waits for a rescan started by StartRescan; true when none is running.
    bool WaitRescan(std::chrono::milliseconds timeout);
    bool Rescanning() const { return rescanning_.load(); }

    // Element i, or null (with "CVolumesList::GetAt except") outside the list.
    CVolume* GetAt(size_t i) const;
    size_t Count() const;
    // Takes ownership and appends.
    CVolume* Append(std::unique_ptr<CVolume> volume);
    // A copy of the list, safe to walk while the list changes.
    std::vector<CVolume*> Snapshot() const;
    // Deletes every volume (query threads are waited for).
    void Clear();

    static constexpr std::chrono::milliseconds kQueryWait{4000};

private:
    CLocalComputer& computer_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<CVolume>> volumes_;

    std::mutex rescanMutex_;               // one rescan at a time
    std::mutex rescanStartMutex_;
    std::mutex rescanDoneMutex_;
    std::condition_variable rescanDone_;
    std::atomic<bool> rescanning_{false};
    std::thread rescanThread_;
};

}  // namespace vx
