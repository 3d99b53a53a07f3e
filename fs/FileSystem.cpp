#include "fs/FileSystem.h"

namespace vx {

CFileSystem::CFileSystem(CVolume* volume) : volume_(volume) {
    rootFolder.flags = object_flag::Folder | object_flag::NameAssigned | object_flag::Embedded;
    rootFolder.name = ".";
}

CFileSystem::~CFileSystem() = default;

}  // namespace vx
