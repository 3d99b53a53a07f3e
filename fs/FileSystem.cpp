#include "fs/FileSystem.h"

#include <algorithm>

#include "device/Volume.h"
#include "fs/ObjectRuns.h"

namespace vx {

CFileSystem::CFileSystem(CVolume* volume) : volume_(volume) {
    rootFolder.flags = object_flag::Folder | object_flag::NameAssigned | object_flag::Embedded;
    rootFolder.name = ".";
}

CFileSystem::~CFileSystem() = default;

uint64_t CFileSystem::SourceBytes() const {
    uint64_t bytes = 0;
    if (auto reader = volume_->Reader(); reader && reader->Size() > volume_->startOffset)
        bytes = reader->Size() - volume_->startOffset;
    const uint64_t listed = volume_->totalSectors * kSectorSize;
    if (volume_->totalSectors != 0 && listed / kSectorSize == volume_->totalSectors && (bytes == 0 || listed < bytes))
        bytes = listed;
    return bytes;
}

std::vector<SectorRun> CFileSystem::SectorRuns(const FoundObject& object) {
    return volume_ ? ContiguousRuns(*volume_, object) : std::vector<SectorRun>{};
}

bool CFileSystem::FreeSectorRuns(std::vector<SectorRun>& out) const {
    out.clear();
    const CBitArray& bitmap = volume_->clusterBitmap;
    if (bitmap.Bits() == 0) return false;
    const uint64_t perCluster = volume_->sectorsPerCluster ? volume_->sectorsPerCluster : 1;
    const uint64_t clusters = std::min<uint64_t>(bitmap.Bits(), volume_->totalClusters ? volume_->totalClusters
                                                                                        : bitmap.Bits());
    for (uint64_t c = 0; c < clusters; ++c)
        if (!bitmap.Get(c)) AppendRun(out, c * perCluster, perCluster);
    return true;
}

}  // namespace vx
