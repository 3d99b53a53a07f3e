#pragma once
// The disks and partitions the drive list offers, as sysfs describes them.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

struct ProbedPartition {
    std::string kernelName;   // "sda1"
    std::string devicePath;   // "/dev/sda1"
    dev_t device = 0;
    int32_t number = 0;       // partition number on the disk
    uint64_t startSector = 0; // 512-byte sectors from the start of the disk
    uint64_t sizeSectors = 0;
};

struct ProbedDisk {
    std::string kernelName;   // "sda", "nvme0n1", "loop3"
    std::string devicePath;   // "/dev/sda"
    dev_t device = 0;
    bool removable = false;
    uint64_t sizeSectors = 0;
    std::string vendor, model;
    std::vector<ProbedPartition> partitions;  // by partition number
};

// True for the whole-disk names the list shows: sd*, nvme*n*, mmcblk*, vd*,
// xvd*, hd* and loop*. Optical drives, RAM disks, device-mapper and md
// devices are not among them.
bool IsListedDiskName(const std::string& name);

// Reads `sysBlock` (normally /sys/block): every listed disk with its
// partitions, in natural name order. Loop devices count only while they
// have a backing file; extended-partition containers (1 KiB in sysfs) are
// left out. `devRoot` is where the device nodes live.
std::vector<ProbedDisk> ProbeBlockDevices(const std::string& sysBlock = "/sys/block",
                                          const std::string& devRoot = "/dev");

}  // namespace vx
