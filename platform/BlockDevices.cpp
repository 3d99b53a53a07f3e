#include "platform/BlockDevices.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "platform/Sysfs.h"

namespace vx {

namespace {

namespace fs = std::filesystem;

dev_t ParseDevNumbers(const std::string& text) {
    unsigned maj = 0, min = 0;
    if (std::sscanf(text.c_str(), "%u:%u", &maj, &min) != 2) return 0;
    return makedev(maj, min);
}

// The node name udev gives the device ("DEVNAME=" in uevent), else the sysfs name.
std::string NodeName(const fs::path& dir, const std::string& fallback) {
    std::ifstream in(dir / "uevent");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("DEVNAME=", 0) == 0) return line.substr(8);
    return fallback;
}

uint64_t ReadNumber(const fs::path& file) {
    return std::strtoull(ReadSysfsAttribute(file.string()).c_str(), nullptr, 10);
}

// "sda" < "sdb" < "sdaa"; "loop2" < "loop10".
bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(uint8_t(a[i])) && std::isdigit(uint8_t(b[j]))) {
            size_t ie = i, je = j;
            while (ie < a.size() && std::isdigit(uint8_t(a[ie]))) ++ie;
            while (je < b.size() && std::isdigit(uint8_t(b[je]))) ++je;
            unsigned long long x = std::strtoull(a.substr(i, ie - i).c_str(), nullptr, 10);
            unsigned long long y = std::strtoull(b.substr(j, je - j).c_str(), nullptr, 10);
            if (x != y) return x < y;
            i = ie;
            j = je;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

bool DiskLess(const std::string& a, const std::string& b) {
    // Letters-only suffixes (sda..sdz, sdaa): shorter first, as the kernel counts.
    if (a.size() != b.size() && a.rfind("sd", 0) == 0 && b.rfind("sd", 0) == 0) return a.size() < b.size();
    return NaturalLess(a, b);
}

}  // namespace

bool IsListedDiskName(const std::string& name) {
    static const std::regex listed("(sd[a-z]+|vd[a-z]+|xvd[a-z]+|hd[a-z]+|nvme[0-9]+n[0-9]+|mmcblk[0-9]+|loop[0-9]+)");
    return std::regex_match(name, listed);
}

std::vector<ProbedDisk> ProbeBlockDevices(const std::string& sysBlock, const std::string& devRoot) {
    std::vector<ProbedDisk> disks;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(sysBlock, ec)) {
        std::string name = entry.path().filename().string();
        if (!IsListedDiskName(name)) continue;
        const fs::path dir = entry.path();
        if (name.rfind("loop", 0) == 0 && ReadSysfsAttribute((dir / "loop/backing_file").string()).empty()) continue;
        ProbedDisk disk;
        disk.kernelName = name;
        disk.devicePath = devRoot + "/" + NodeName(dir, name);
        disk.device = ParseDevNumbers(ReadSysfsAttribute((dir / "dev").string()));
        disk.removable = ReadSysfsAttribute((dir / "removable").string()) == "1";
        disk.sizeSectors = ReadNumber(dir / "size");
        disk.vendor = ReadSysfsAttribute((dir / "device/vendor").string());
        disk.model = ReadSysfsAttribute((dir / "device/model").string());
        if (disk.model.empty()) disk.model = ReadSysfsAttribute((dir / "device/name").string());  // MMC cards
        std::error_code ec2;
        for (const fs::directory_entry& sub : fs::directory_iterator(dir, ec2)) {
            if (!fs::exists(sub.path() / "partition")) continue;
            ProbedPartition p;
            p.kernelName = sub.path().filename().string();
            p.devicePath = devRoot + "/" + NodeName(sub.path(), p.kernelName);
            p.device = ParseDevNumbers(ReadSysfsAttribute((sub.path() / "dev").string()));
            p.number = int32_t(ReadNumber(sub.path() / "partition"));
            p.startSector = ReadNumber(sub.path() / "start");
            p.sizeSectors = ReadNumber(sub.path() / "size");
            // The kernel shows an extended-partition container as a 1 KiB
            // partition (its boot record); no volume lives there.
            if (p.sizeSectors <= 2) continue;
            disk.partitions.push_back(std::move(p));
        }
        std::sort(disk.partitions.begin(), disk.partitions.end(),
                  [](const ProbedPartition& a, const ProbedPartition& b) { return a.number < b.number; });
        disks.push_back(std::move(disk));
    }
    std::sort(disks.begin(), disks.end(),
              [](const ProbedDisk& a, const ProbedDisk& b) { return DiskLess(a.kernelName, b.kernelName); });
    return disks;
}

}  // namespace vx
