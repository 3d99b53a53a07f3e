#include "recovery/Destination.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <set>
#include <vector>

#include "common/Notifier.h"
#include "common/Strings.h"
#include "device/Volume.h"
#include "platform/Mounts.h"
#include "platform/Sysfs.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"

namespace vx {

namespace {

// st_dev of the folder, or of its nearest existing parent.
bool FolderDevice(std::string folder, dev_t& out) {
    for (int depth = 0; depth < 4096 && !folder.empty(); ++depth) {
        struct stat st{};
        if (::stat(folder.c_str(), &st) == 0) {
            out = st.st_dev;
            return true;
        }
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        size_t slash = folder.rfind('/');
        if (slash == std::string::npos) return ::stat(".", &st) == 0 ? (out = st.st_dev, true) : false;
        folder.resize(slash == 0 ? 1 : slash);
    }
    return false;
}

dev_t DevOfKernelName(const std::string& name) {
    std::string text = ReadSysfsAttribute("/sys/class/block/" + name + "/dev");
    unsigned maj = 0, min = 0;
    if (std::sscanf(text.c_str(), "%u:%u", &maj, &min) != 2) return 0;
    return makedev(maj, min);
}

// The device and everything below it: its whole disk and, for stacked
// devices (device mapper, md), the devices listed under "slaves", in turn.
void CollectUnderlying(dev_t device, std::set<dev_t>& out, int depth) {
    if (device == 0 || depth > 16 || !out.insert(device).second) return;
    BlockDeviceInfo info = DescribeBlockDevice(device);
    if (info.isPartition) CollectUnderlying(info.disk, out, depth + 1);
    std::string dir = Format("/sys/dev/block/%u:%u/slaves", major(device), minor(device));
    if (DIR* d = ::opendir(dir.c_str())) {
        std::vector<std::string> names;
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        ::closedir(d);
        for (const std::string& name : names) CollectUnderlying(DevOfKernelName(name), out, depth + 1);
    }
}

// The block device the volume reads, or 0 for an image file.
dev_t SourceDevice(const CVolume& volume) {
    if (volume.kind == VolumeKind::Image) return 0;
    std::string path = volume.DevicePath();
    struct stat st{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return 0;
    return st.st_rdev;
}

}  // namespace

bool DestinationOnSource(const CVolume& volume, const std::string& folder) {
    dev_t source = SourceDevice(volume);
    dev_t destination = 0;
    if (source == 0 || !FolderDevice(folder, destination)) return false;
    std::set<dev_t> below;
    CollectUnderlying(destination, below, 0);
    // A FUSE file system (ntfs-3g) and some others show a device number of
    // their own; the mount table names the device they live on.
    for (const MountEntry& mount : ReadMountInfo()) {
        struct stat st{};
        if (mount.device == destination && mount.source.rfind("/dev/", 0) == 0 &&
            ::stat(mount.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode))
            CollectUnderlying(st.st_rdev, below, 0);
    }
    return below.count(source) != 0;
}

int ValidateDestination(const CVolume* volume, const std::string* folder, bool quiet) {
    const std::string path = folder ? *folder : Settings().DestinationFolder();
    if (volume && DestinationOnSource(*volume, path)) {
        if (!quiet)
            Notifier().ShowError("Error",
                                 "The distination folder is on the same drive with the source. You should change "
                                 "the destination location for recovered files.");
        return 0;
    }
    if (::mkdir(path.c_str(), 0777) == 0) return 1;
    int error = errno;
    struct stat st{};
    if (error == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return 1;
    if (error == EEXIST) error = ENOTDIR;
    if (!quiet) {
        EventLog().LogError("\nCan't create folder:\n\"%s\"\n\nError code: %d", path.c_str(), error);
        Notifier().ShowError("Error", Format("\nCan't create folder:\n\"%s\"\n\nError code: %d", path.c_str(), error));
    }
    return 0;
}

}  // namespace vx
