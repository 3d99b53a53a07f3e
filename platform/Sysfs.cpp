#include "platform/Sysfs.h"

#include <sys/sysmacros.h>

#include <fstream>
#include <string>

#include "common/Strings.h"
#include "common/Text.h"

namespace vx {

std::string ReadSysfsAttribute(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    return TrimSpaces(line);
}

namespace {

dev_t ParseDev(const std::string& text) {
    unsigned maj = 0, min = 0;
    if (std::sscanf(text.c_str(), "%u:%u", &maj, &min) != 2) return 0;
    return makedev(maj, min);
}

std::string KernelNameOf(const std::string& sysDir) {
    std::string uevent = sysDir + "/uevent";
    std::ifstream in(uevent);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("DEVNAME=", 0) == 0) return line.substr(8);
    return {};
}

}  // namespace

BlockDeviceInfo DescribeBlockDevice(dev_t device) {
    BlockDeviceInfo info;
    std::string dir = Format("/sys/dev/block/%u:%u", major(device), minor(device));
    info.kernelName = KernelNameOf(dir);
    info.disk = device;
    std::string partition = ReadSysfsAttribute(dir + "/partition");
    std::string diskDir = dir;
    if (!partition.empty()) {
        info.isPartition = true;
        info.partitionNumber = std::atoi(partition.c_str());
        info.startSector = std::strtoull(ReadSysfsAttribute(dir + "/start").c_str(), nullptr, 10);
        diskDir = dir + "/..";
        info.disk = ParseDev(ReadSysfsAttribute(diskDir + "/dev"));
    }
    info.sizeSectors = std::strtoull(ReadSysfsAttribute(dir + "/size").c_str(), nullptr, 10);
    info.removable = ReadSysfsAttribute(diskDir + "/removable") == "1";
    std::string vendor = ReadSysfsAttribute(diskDir + "/device/vendor");
    std::string model = ReadSysfsAttribute(diskDir + "/device/model");
    if (!vendor.empty() && !model.empty()) info.description = vendor + ", " + model;
    else info.description = model;
    return info;
}

}  // namespace vx
