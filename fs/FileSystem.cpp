#include "fs/FileSystem.h"

#include <algorithm>

#include "device/Volume.h"

namespace vx {

CFileSystem::CFileSystem(CVolume* volume) : volume_(volume) {
    rootFolder.flags = object_flag::Folder | object_flag::NameAssigned | object_flag::Embedded;
    rootFolder.name = ".";
}

CFileSystem::~CFileSystem() = default;

void AppendRun(std::vector<SectorRun>& out, uint64_t first, uint64_t count) {
    if (!out.empty() && out.back().first + out.back().count == first) out.back().count += count;
    else out.push_back({first, count});
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
