#include "device/LocalComputer.h"

#include <sys/stat.h>

#include "device/Volume.h"
#include "platform/Sysfs.h"

namespace vx {

CLocalComputer::CLocalComputer() = default;
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

CLocalComputer& Computer() {
    static CLocalComputer computer;
    return computer;
}

}  // namespace vx
