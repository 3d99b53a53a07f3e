#pragma once
// What sysfs tells of a block device.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace vx {

struct BlockDeviceInfo {
    std::string kernelName;   // "sdb1"
    std::string description;  // "vendor, model" of the disk, when sysfs has them
    bool isPartition = false;
    bool removable = false;
    dev_t disk = 0;           // the whole disk's device number (itself for a disk)
    int32_t partitionNumber = 0;
    uint64_t startSector = 0; // a partition's start on its disk, 512-byte sectors
    uint64_t sizeSectors = 0;
};

BlockDeviceInfo DescribeBlockDevice(dev_t device);
// One line of a sysfs attribute, trimmed; empty when missing.
std::string ReadSysfsAttribute(const std::string& path);

}  // namespace vx
