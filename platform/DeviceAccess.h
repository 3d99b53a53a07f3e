#pragma once
// Whether this user may read the machine's disks. Without that right the
// program still works on drive images; the drives stay Not Ready.
#include <string>

namespace vx {

// True when at least one of the listed disks or partitions opens for reading
// (root, a member of the "disk" group, or a udev rule that grants access).
// Also true when the machine lists no disk at all: there is nothing to refuse.
bool MayOpenBlockDevices(const std::string& sysBlock = "/sys/block", const std::string& devRoot = "/dev");

}  // namespace vx
