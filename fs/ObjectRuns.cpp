#include "fs/ObjectRuns.h"

#include <algorithm>

#include "device/Volume.h"

namespace vx {

void AppendRun(std::vector<SectorRun>& runs, uint64_t start, uint64_t count) {
    if (count == 0) return;
    if (!runs.empty() && runs.back().start + runs.back().count == start) runs.back().count += count;
    else runs.push_back(SectorRun{start, count});
}

void TrimRuns(std::vector<SectorRun>& runs, uint64_t sectors) {
    uint64_t taken = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (taken + runs[i].count >= sectors) {
            runs[i].count = sectors - taken;
            runs.resize(runs[i].count ? i + 1 : i);
            return;
        }
        taken += runs[i].count;
    }
}

std::vector<SectorRun> ContiguousRuns(const CVolume& volume, const FoundObject& object) {
    std::vector<SectorRun> runs;
    if (object.IsFolder() || object.IsVolumeNode()) return runs;
    uint64_t bytes = object.size;
    if (!object.SizeKnown()) bytes = volume.totalBytes > object.start ? volume.totalBytes - object.start : 0;
    const uint64_t first = object.start / kSectorSize;
    const uint64_t last = (object.start + bytes + kSectorSize - 1) / kSectorSize;
    AppendRun(runs, first, last > first ? last - first : 0);
    return runs;
}

std::vector<SectorRun> ObjectSectorRuns(CVolume& volume, const FoundObject& object) {
    if (object.IsVolumeNode()) return {};
    try {
        switch (volume.typeCode) {
            case 1: case 4: case 6: case 11: case 17: case 7:
                if (volume.analyser) return volume.analyser->SectorRuns(object);
                return object.IsFoundByContent() ? ContiguousRuns(volume, object) : std::vector<SectorRun>{};
            default:
                return ContiguousRuns(volume, object);
        }
    } catch (...) {
        return {};
    }
}

}  // namespace vx
