#include <memory>

#include "common/Notifier.h"
#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "settings/EventLog.h"

namespace vx {

CVolume* CLocalComputer::AddVirtualVolume(CVolume& parent, uint64_t start, uint64_t size) {
    if (size < kSectorSize || start + size < start) return nullptr;
    if (parent.totalBytes != 0 && start + size > parent.totalBytes) return nullptr;
    if (parent.kind == VolumeKind::ComputerNode || parent.kind == VolumeKind::RecycleBinNode) return nullptr;
    auto volume = std::make_unique<CVolume>(VolumeKind::Virtual, parent.driveType);
    volume->startOffset = parent.startOffset + start;
    volume->totalBytes = size;
    volume->totalSectors = size / kSectorSize;
    volume->devicePath = parent.DevicePath();  // kept for reads when the parent goes in a rescan
    volume->parent = &parent;
    volume->rootRecord.parent = parent.Id();
    volume->rootRecord.start = start;
    volume->SetId(NextId());
    volume->state = VolumeState::Ready;
    parent.AddChild(volume.get());
    CVolume* added = volumes_.Append(std::move(volume));
    added->ParseBootSector();
    EventLog().LogText(Format("Virtual drive created at: %llu, size: %llu", (unsigned long long)start,
                              (unsigned long long)size));
    parent.collection.Add(&added->rootRecord, true);
    Notifier().OnVolumeAdded(added, &parent);
    return added;
}

}  // namespace vx
