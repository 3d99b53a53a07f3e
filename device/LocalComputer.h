#pragma once
// CLocalComputer: the computer object. It hands out volume ids, owns the
// drive list with its two tree nodes, turns partition reports into Found
// volumes and loads drive images.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/Volume.h"
#include "device/VolumesList.h"

namespace vx {

struct FoundObject;
struct PartitionEntry;

class CLocalComputer {
public:
    CLocalComputer();
    ~CLocalComputer();
    CLocalComputer(const CLocalComputer&) = delete;
    CLocalComputer& operator=(const CLocalComputer&) = delete;

    // Volume ids: a counter that starts at -30 and is decremented before each
    // use, so the first id is -31.
    int32_t NextId() { return --idCounter_; }

    // A volume for a path the user named: an image file (kind Image, drive
    // type 7), a whole disk (Physical) or a partition (Logical), with a new id
    // and its size filled. Not added to the drive list; null when the path is
    // neither a file nor a block device.
    std::unique_ptr<CVolume> OpenSource(const std::string& path);

    // A partition or boot sector reported inside a volume (start: byte offset
    // inside the reporting volume, parent: its id, type: the partition type
    // byte or boot-sector format). Marks the volume it already is, or adds a
    // new Found child volume and returns it; null otherwise. A partition
    // table's `entry` gives the volume its length, name and type GUID; without
    // one the volume is as long as its boot sector says.
    CVolume* AddFoundVolume(const FoundObject& report, const PartitionEntry* entry = nullptr);

    // Opens a raw image file read-only and appends it as an Image volume with
    // its boot sector parsed. Null when the file cannot be opened.
    CVolume* LoadImage(const std::string& path);

    // A Virtual volume over `size` bytes of `parent` from byte `start`,
    // listed below it, read through its device like a Found volume, kept
    // across rescans. Null when the range lies outside the parent.
    CVolume* AddVirtualVolume(CVolume& parent, uint64_t start, uint64_t size);

    // The lost-volume search (device/LostVolumeSearch.cpp): scans every sector
    // of `volume` for boot sectors on a thread of its own; each becomes a
    // Found volume below it. 0 when the volume is being analysed already.
    int SearchLostDisks(CVolume& volume);

    // The last volume in the list with this id, or null.
    CVolume* FindVolume(int32_t id) const;

    CVolumesList& Volumes() { return volumes_; }
    CVolume& ComputerNode() { return computerNode_; }
    CVolume& RecycleBinNode() { return recycleBinNode_; }

private:
    std::atomic<int32_t> idCounter_{-30};
    // Scan workers report volumes concurrently; a new volume's own partition
    // table reports again from inside.
    std::recursive_mutex foundMutex_;
    CVolume computerNode_;
    CVolume recycleBinNode_;
    // Declared last: destroyed first, while the nodes still exist.
    CVolumesList volumes_;
};

// Where the volume whose boot sector was found at byte `position` of
// `volume` starts: `position` itself, or for a backup boot sector (FAT32 in
// its reserved area, NTFS after its last sector) the volume's first byte.
uint64_t VolumeStartOf(CVolume& volume, uint64_t position);

// The computer object of the process.
CLocalComputer& Computer();

}  // namespace vx
