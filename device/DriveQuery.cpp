// Filling a volume's descriptor from its device. Placeholder until the drive list lands.
#include "device/Volume.h"

namespace vx {

void CVolume::QueryInformation() {}

}  // namespace vx
