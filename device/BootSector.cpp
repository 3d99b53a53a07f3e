// Boot sectors and partition tables. Placeholder until the volume work lands.
#include "device/Volume.h"

namespace vx {

void CVolume::ParseBootSector() {}
uint32_t CVolume::DetectFileSystem(const uint8_t*) { return 0; }
void CVolume::SetFileSystemName(uint32_t) {}
void CVolume::ScanPartitionTable(uint64_t) {}

}  // namespace vx
