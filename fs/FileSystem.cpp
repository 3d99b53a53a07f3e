#include "fs/FileSystem.h"

#include "fs/ObjectRuns.h"

namespace vx {

CFileSystem::CFileSystem(CVolume* volume) : volume_(volume) {
    rootFolder.flags = object_flag::Folder | object_flag::NameAssigned | object_flag::Embedded;
    rootFolder.name = ".";
}

CFileSystem::~CFileSystem() = default;

std::vector<SectorRun> CFileSystem::SectorRuns(const FoundObject& object) {
    return volume_ ? ContiguousRuns(*volume_, object) : std::vector<SectorRun>{};
}

}  // namespace vx
