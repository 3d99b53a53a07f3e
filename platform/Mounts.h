#pragma once
// Where block devices are mounted (/proc/self/mountinfo) and the free space
// of a mounted file system (statvfs).
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

struct MountEntry {
    dev_t device = 0;          // major:minor of the mounted file system
    std::string root;          // the subtree mounted ("/" for a whole file system)
    std::string mountPoint;
    std::string fsType;        // "vfat", "ntfs3", "fuseblk", ...
    std::string source;        // "/dev/sdb1"
};

// Parses mountinfo text; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
std::vector<MountEntry> ReadMountInfo(const std::string& path = "/proc/self/mountinfo");

// The mount of `device`, preferring one of the whole file system; false when not mounted.
bool FindMount(dev_t device, MountEntry& out);
// A FUSE file system shows no device number; its source names the device.
bool FindMountBySource(const std::string& devicePath, MountEntry& out);

struct SpaceInfo {
    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0;    // available to an unprivileged user
};
bool QuerySpace(const std::string& mountPoint, SpaceInfo& out);

}  // namespace vx
