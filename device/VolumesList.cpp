#include "device/VolumesList.h"

#include <algorithm>
#include <unordered_set>

#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "platform/BlockDevices.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

// Counts the query threads of one rescan; the rescan waits on it.
struct QueryGroup {
    std::mutex mutex;
    std::condition_variable done;
    size_t running = 0;
};

bool KeptAcrossRescan(const CVolume* v) {
    // Image and Virtual volumes stay, and so do the volumes found inside
    // them: their records sit in a kept volume's collection.
    for (const CVolume* p = v; p; p = p->ParentVolume()) {
        if (p->kind == VolumeKind::Image || p->kind == VolumeKind::Virtual) return true;
        if (p->kind != VolumeKind::Found) return false;
    }
    return false;
}

// Puts a virtual drive back below the probed volume of the device it reads.
void ReattachVirtual(CVolume& virtualDrive, const std::vector<CVolume*>& probed) {
    for (CVolume* v : probed)
        if (v->devicePath == virtualDrive.devicePath && v->startOffset == 0) {
            virtualDrive.parent = v;
            virtualDrive.rootRecord.parent = v->Id();
            v->AddChild(&virtualDrive);
            return;
        }
}

}  // namespace

CVolumesList::CVolumesList(CLocalComputer& computer) : computer_(computer) {}

CVolumesList::~CVolumesList() {
    if (rescanThread_.joinable()) rescanThread_.join();
    Clear();
}

CVolume* CVolumesList::GetAt(size_t i) const {
    std::lock_guard lock(mutex_);
    if (i >= volumes_.size()) {
        EventLog().LogError("CVolumesList::GetAt except");
        return nullptr;
    }
    return volumes_[i].get();
}

size_t CVolumesList::Count() const {
    std::lock_guard lock(mutex_);
    return volumes_.size();
}

CVolume* CVolumesList::Append(std::unique_ptr<CVolume> volume) {
    std::lock_guard lock(mutex_);
    volumes_.push_back(std::move(volume));
    return volumes_.back().get();
}

std::vector<CVolume*> CVolumesList::Snapshot() const {
    std::lock_guard lock(mutex_);
    std::vector<CVolume*> out;
    out.reserve(volumes_.size());
    for (const auto& v : volumes_) out.push_back(v.get());
    return out;
}

void CVolumesList::Clear() {
    std::vector<std::unique_ptr<CVolume>> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(volumes_);
    }
    // Children before their parents, so no destructor meets a dead parent.
    while (!dropped.empty()) dropped.pop_back();
}

size_t CVolumesList::Rescan() {
    std::lock_guard rescanLock(rescanMutex_);
    std::vector<std::unique_ptr<CVolume>> kept, dropped;
    {
        std::lock_guard lock(mutex_);
        // Replacing volumes under a running analysis, search or copy would
        // pull them from under it.
        for (const auto& v : volumes_) {
            if (!KeptAcrossRescan(v.get()) && v->InUse()) {
                EventLog().LogError("Drives not rescanned: %s is in use", v->DisplayName().c_str());
                return volumes_.size();
            }
        }
        for (auto& v : volumes_) (KeptAcrossRescan(v.get()) ? kept : dropped).push_back(std::move(v));
        volumes_.clear();
    }
    // Kept volumes forget the children that go now.
    std::unordered_set<const CVolume*> gone;
    for (const auto& v : dropped) gone.insert(v.get());
    for (auto& v : kept) {
        std::vector<CVolume*> children = v->Children();
        std::erase_if(children, [&](CVolume* c) { return gone.count(c) != 0; });
        v->SetChildren(std::move(children));
        // A virtual drive on a probed disk reads its device by path until
        // the disk is found again below.
        if (gone.count(v->parent) != 0) v->parent = v.get();
    }
    while (!dropped.empty()) dropped.pop_back();

    std::vector<std::unique_ptr<CVolume>> disks, partitions;
    int number = 0;
    for (const ProbedDisk& d : ProbeBlockDevices()) {
        auto disk = std::make_unique<CVolume>(VolumeKind::Physical, d.removable ? kDriveRemovable : kDriveFixed);
        disk->letter = char('0' + (number < 10 ? number : 9));
        disk->description = Format("Drive %d", number);
        ++number;
        disk->kernelName = d.kernelName;
        disk->devicePath = d.devicePath;
        disk->deviceNumber.disk = int64_t(d.device);
        disk->deviceNumber.partitionNumber = 0;
        // What sysfs tells stands even when the device cannot be opened.
        disk->totalBytes = d.sizeSectors * kSectorSize;
        disk->totalSectors = d.sizeSectors;
        if (!d.vendor.empty() && !d.model.empty()) disk->description = d.vendor + ", " + d.model;
        else if (!d.model.empty()) disk->description = d.model;
        disk->SetId(computer_.NextId());
        for (const ProbedPartition& p : d.partitions) {
            auto part = std::make_unique<CVolume>(VolumeKind::Logical, disk->driveType);
            part->kernelName = p.kernelName;
            part->devicePath = p.devicePath;
            part->deviceNumber.disk = int64_t(d.device);
            part->deviceNumber.partitionNumber = p.number;
            PartitionInformation& info = part->layout.entries[0];
            info.startingOffset = p.startSector * kSectorSize;
            info.partitionLength = p.sizeSectors * kSectorSize;
            info.partitionNumber = uint32_t(p.number);
            part->layout.partitionCount = 1;
            part->layout.signature = 0;
            part->totalBytes = info.partitionLength;
            part->totalSectors = p.sizeSectors;
            part->SetId(computer_.NextId());
            part->parent = disk.get();
            part->rootRecord.parent = disk->Id();
            disk->AddChild(part.get());
            partitions.push_back(std::move(part));
        }
        disks.push_back(std::move(disk));
    }

    auto group = std::make_shared<QueryGroup>();
    std::vector<CVolume*> probed;
    {
        std::lock_guard lock(mutex_);
        for (auto* list : {&disks, &partitions})
            for (auto& v : *list) {
                v->state = VolumeState::QueryInformation;
                probed.push_back(v.get());
                volumes_.push_back(std::move(v));
            }
    }
    group->running = probed.size();
    for (CVolume* v : probed) {
        v->queryThread = std::thread([v, group] {
            v->QueryInformation();
            std::lock_guard lock(group->mutex);
            --group->running;
            group->done.notify_all();
        });
    }
    {
        std::unique_lock lock(group->mutex);
        group->done.wait_for(lock, kQueryWait, [&] { return group->running == 0; });
    }

    std::lock_guard lock(mutex_);
    for (auto& v : kept) {
        if (v->kind == VolumeKind::Virtual && v->parent == v.get()) ReattachVirtual(*v, probed);
        volumes_.push_back(std::move(v));
    }
    return volumes_.size();
}

bool CVolumesList::StartRescan() {
    std::lock_guard lock(rescanStartMutex_);
    if (rescanning_.exchange(true)) return false;
    if (rescanThread_.joinable()) rescanThread_.join();
    rescanThread_ = std::thread([this] {
        try {
            Rescan();
        } catch (...) {
            EventLog().LogError("CVolumesList::Rescan except");
        }
        std::lock_guard doneLock(rescanDoneMutex_);
        rescanning_ = false;
        rescanDone_.notify_all();
    });
    return true;
}

bool CVolumesList::WaitRescan(std::chrono::milliseconds timeout) {
    std::unique_lock lock(rescanDoneMutex_);
    return rescanDone_.wait_for(lock, timeout, [this] { return !rescanning_.load(); });
}

}  // namespace vx
