#include "platform/DeviceAccess.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/BlockDevices.h"

namespace vx {

bool MayOpenBlockDevices(const std::string& sysBlock, const std::string& devRoot) {
    std::vector<ProbedDisk> disks = ProbeBlockDevices(sysBlock, devRoot);
    if (disks.empty()) return true;
    // An open for reading is the test: root inside a container may still be refused.
    auto readable = [](const std::string& path) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    };
    for (const ProbedDisk& disk : disks) {
        if (readable(disk.devicePath)) return true;
        for (const ProbedPartition& part : disk.partitions)
            if (readable(part.devicePath)) return true;
    }
    return false;
}

}  // namespace vx
