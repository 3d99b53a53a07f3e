#include "device/LocalComputer.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>

#include "common/Notifier.h"
#include "common/Strings.h"
#include "device/PartitionTable.h"
#include "fs/FoundObject.h"
#include "platform/Sysfs.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

// Normalised type code and log line of a reported partition type.
struct FoundFamily {
    uint32_t code;
    const char* line;
};

FoundFamily FamilyOf(int type) {
    switch (type) {
        case 1: case 17: return {1, "Found FAT12 volume at: %llu"};
        case 4: case 6: case 14: case 20: case 22: case 30: return {4, "Found FAT16 volume at: %llu"};
        case 11: case 12: case 27: case 28: return {11, "Found FAT32 volume at: %llu"};
        case 7: return {7, "Found NTFS volume at: %llu"};
        default: return {0, nullptr};
    }
}

}  // namespace

CLocalComputer::CLocalComputer()
    : computerNode_(VolumeKind::ComputerNode, 0), recycleBinNode_(VolumeKind::RecycleBinNode, 0), volumes_(*this) {
    computerNode_.SetId(object_id::Computer);
    computerNode_.rootRecord.parent = object_id::Computer;
    recycleBinNode_.SetId(object_id::RecycleBin);
    recycleBinNode_.rootRecord.parent = object_id::Computer;
}

CLocalComputer::~CLocalComputer() = default;

std::unique_ptr<CVolume> CLocalComputer::OpenSource(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return nullptr;
    std::unique_ptr<CVolume> volume;
    if (S_ISREG(st.st_mode)) {
        volume = std::make_unique<CVolume>(VolumeKind::Image, kDriveImage);
    } else if (S_ISBLK(st.st_mode)) {
        BlockDeviceInfo info = DescribeBlockDevice(st.st_rdev);
        volume = std::make_unique<CVolume>(info.isPartition ? VolumeKind::Logical : VolumeKind::Physical,
                                           info.removable ? kDriveRemovable : kDriveFixed);
        volume->kernelName = info.kernelName;
        volume->description = info.description.empty() ? info.kernelName : info.description;
        volume->deviceNumber.disk = int64_t(info.disk);
        volume->deviceNumber.partitionNumber = info.partitionNumber;
        if (info.isPartition) {
            PartitionInformation& p = volume->layout.entries[0];
            p.startingOffset = info.startSector * kSectorSize;
            p.partitionLength = info.sizeSectors * kSectorSize;
            p.partitionNumber = uint32_t(info.partitionNumber);
            volume->layout.partitionCount = 1;
        }
    } else {
        return nullptr;
    }
    volume->devicePath = path;
    volume->SetId(NextId());
    if (volume->OpenDrive()) {
        volume->totalBytes = volume->Reader()->Size();
        volume->totalSectors = volume->totalBytes / kSectorSize;
        volume->totalClusters = volume->totalSectors;
        volume->Reader()->Geometry(volume->geometry);
        volume->state = VolumeState::Ready;
    }
    return volume;
}

CVolume* CLocalComputer::FindVolume(int32_t id) const {
    std::vector<CVolume*> all = volumes_.Snapshot();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if ((*it)->Id() == id) return *it;
    return nullptr;
}

CVolume* CLocalComputer::AddFoundVolume(const FoundObject& found, const PartitionEntry* entry) {
    std::lock_guard<std::recursive_mutex> lock(foundMutex_);
    CVolume* reporter = FindVolume(found.parent);
    if (!reporter) return nullptr;
    FoundObject report = found;
    // A boot sector the search found may be a backup copy inside its volume.
    if (!entry) report.start = VolumeStartOf(*reporter, report.start);
    // Both copies of one boot sector name one volume.
    for (CVolume* child : reporter->Children()) {
        if (child->kind == VolumeKind::Found && child->rootRecord.start == report.start) {
            child->rootRecord.flags |= object_flag::SeenAgain;
            return nullptr;
        }
    }
    if (reporter->kind == VolumeKind::Physical) {
        for (CVolume* v : volumes_.Snapshot()) {
            if (v->rootRecord.parent != reporter->Id() || v == reporter || v->layout.partitionCount == 0) continue;
            if (v->layout.entries[0].startingOffset == report.start) {
                v->rootRecord.flags |= object_flag::SeenAgain;
                return nullptr;
            }
        }
    }
    if ((reporter->kind == VolumeKind::Logical || reporter->kind == VolumeKind::Image) && report.start == 0) {
        reporter->rootRecord.flags |= object_flag::SeenAgain;
        return nullptr;
    }

    auto volume = std::make_unique<CVolume>(VolumeKind::Found, kDriveFound);
    FoundFamily family = FamilyOf(report.type);
    volume->typeCode = family.code;
    // Reads go to the top device, so the offset is kept from its start.
    volume->startOffset = reporter->startOffset + report.start;
    const uint64_t room = reporter->totalBytes > report.start ? reporter->totalBytes - report.start : 0;
    volume->totalBytes = room;
    if (entry) {
        if (entry->sectors) volume->totalBytes = std::min(room, entry->sectors * kSectorSize);
        volume->partitionName = entry->name;
        volume->partitionTypeGuid = entry->typeGuid;
    }
    volume->rootRecord.parent = reporter->Id();
    volume->rootRecord.start = report.start;
    volume->rootRecord.type = report.type;
    volume->rootRecord.flags = object_flag::Embedded;
    volume->parent = reporter;
    if (report.start != found.start) {
        // Found through its backup: the volume's own boot sector is read
        // unless it is damaged.
        std::array<uint8_t, kSectorSize> own{}, backup{};
        const uint64_t first = report.start / kSectorSize, copy = found.start / kSectorSize;
        if (reporter->ReadSectors(backup.data(), copy, 1) < kSectorSize ||
            reporter->ReadSectors(own.data(), first, 1) < kSectorSize ||
            CVolume::DetectFileSystem(own.data()) != CVolume::DetectFileSystem(backup.data()))
            volume->bootSectorPosition = found.start - report.start;
    }
    volume->SetId(NextId());
    reporter->AddChild(volume.get());
    volume->ParseBootSector();
    // Type 0x07 is shared by NTFS, exFAT and others: the boot sector tells.
    if (volume->typeCode == 7 && !volume->exfat &&
        CVolume::DetectFileSystem(volume->bootBuffer.data()) != 7) {
        volume->typeCode = 0;
        volume->SetFileSystemName(0);
    }
    if (volume->typeCode == 7 && volume->exfat)
        EventLog().LogText(Format("Found exFAT volume at: %llu", (unsigned long long)report.start));
    else if (const char* line = FamilyOf(int(volume->typeCode)).line; line && family.line)
        EventLog().LogText(Format(line, (unsigned long long)report.start));
    // A volume no table describes is as long as its boot sector says (the
    // search finds volumes inside volumes; the rest of the source is not theirs).
    if ((!entry || !entry->sectors) && volume->totalSectors != 0)
        volume->totalBytes = std::min(room, volume->totalSectors * kSectorSize);
    CVolume* added = volumes_.Append(std::move(volume));
    reporter->collection.Add(&added->rootRecord, true);
    Notifier().OnVolumeAdded(added, reporter);
    return added;
}

CVolume* CLocalComputer::LoadImage(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    char resolved[PATH_MAX];
    std::string full = ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
    auto volume = std::make_unique<CVolume>(VolumeKind::Image, kDriveImage);
    volume->devicePath = full;
    if (!volume->OpenDrive()) return nullptr;
    volume->SetId(NextId());
    volume->state = VolumeState::Ready;
    CVolume* added = volumes_.Append(std::move(volume));
    added->ParseBootSector();
    return added;
}

CLocalComputer& Computer() {
    static CLocalComputer computer;
    return computer;
}

}  // namespace vx
