// The lost-volume search: the sector scan in search-only mode, so that only
// boot-sector matches count; each becomes a Found volume of the searched
// volume through AddFoundVolume.
#include "device/LocalComputer.h"
#include "device/Volume.h"

namespace vx {

int CLocalComputer::SearchLostDisks(CVolume& volume) {
    if (volume.state == VolumeState::Analyzing) return 0;
    volume.StartSectorAnalysis(true);
    return 1;
}

}  // namespace vx
