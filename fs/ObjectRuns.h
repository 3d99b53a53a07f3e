#pragma once
// The runs of consecutive sectors an object's data occupies, as the data
// viewer lists them: through the volume's analyser for FAT and NTFS volumes
// (a fragmented file gives one run per fragment, in file order), else one run
// from the object's start.
#include <vector>

#include "fs/FileSystem.h"

namespace vx {

class CVolume;

std::vector<SectorRun> ObjectSectorRuns(CVolume& volume, const FoundObject& object);

// One run from the object's start over its size; a size not known reaches
// to the volume's end. Empty for a folder or an object of size 0.
std::vector<SectorRun> ContiguousRuns(const CVolume& volume, const FoundObject& object);

// Appends `count` sectors from `start`, joining them to the last run when
// they follow it.
void AppendRun(std::vector<SectorRun>& runs, uint64_t start, uint64_t count);
// Cuts the runs after `sectors` sectors.
void TrimRuns(std::vector<SectorRun>& runs, uint64_t sectors);

}  // namespace vx
