// A whole disk: its boot sector, MBR partition table with the chain of
// extended boot records, and the boot sector of every partition found (each
// becomes a Found volume below the disk and parses its own boot sector).
#include <cstddef>
#include <cstdint>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fuzz/support/FuzzSupport.h"

using namespace vx;

namespace {

void CheckVolume(const CVolume& disk, const CVolume& v, int depth) {
    fuzz::Require(depth < 64, "volumes nest without end");
    fuzz::Require(fuzz::ValidUtf8(v.label), "a label is not valid UTF-8");
    fuzz::Require(fuzz::ValidUtf8(v.fileSystemName), "a file-system name is not valid UTF-8");
    if (&v != &disk) {
        fuzz::Require(v.startOffset <= disk.totalBytes, "a partition starts past the disk's end");
        fuzz::Require(v.totalBytes <= disk.totalBytes - v.startOffset, "a partition runs past the disk's end");
    }
    for (const CVolume* child : v.Children()) CheckVolume(disk, *child, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    const fuzz::Frame frame = fuzz::ParseFrame(data, size);
    fuzz::InstallSource(frame);
    auto owned = std::make_unique<CVolume>(VolumeKind::Physical, kDriveFixed);
    owned->devicePath = fuzz::MemoryPath();
    owned->SetId(Computer().NextId());
    CVolume* disk = Computer().Volumes().Append(std::move(owned));
    if (disk->OpenDrive()) {
        disk->totalBytes = disk->Reader()->Size();
        disk->totalSectors = disk->totalBytes / kSectorSize;
        disk->totalClusters = disk->totalSectors;
        disk->state = VolumeState::Ready;
        (void)disk->ParseBootSector();
        CheckVolume(*disk, *disk, 0);
    }
    fuzz::EndInput();
    return 0;
}
