#pragma once
// CVolume: the one object through which the program touches storage. A whole
// disk, a partition, a partition found inside a disk or by the lost-volume
// search, or a drive image file; plus the two tree nodes. It opens its source
// read-only, reads 512-byte sectors with retries, and carries the descriptor
// every other subsystem reads. It owns the results of its last analysis.
#include <sys/types.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fs/BitArray.h"
#include "fs/FoundObject.h"
#include "fs/FoundObjectList.h"
#include "platform/SectorReader.h"

namespace vx {

class CFileSystem;

inline constexpr uint32_t kSectorSize = 512;
// ParseBootSector's result when sector 0 cannot be read.
inline constexpr int kBootSectorUnreadable = 0;

enum class VolumeKind : uint32_t {
    Physical = 1,
    Logical = 2,
    Virtual = 4,
    Image = 8,
    Found = 16,
    ComputerNode = 32,
    RecycleBinNode = 64,
};

enum class VolumeState : int32_t { QueryInformation = -1, NotReady = 0, Ready = 1, Analyzing = 2 };

// Drive types in the numbering of GetDriveType, plus the program's own.
enum : uint32_t { kDriveRemovable = 2, kDriveFixed = 3, kDriveCdRom = 5, kDriveImage = 7, kDriveFound = 16 };

struct PartitionInformation {
    uint64_t startingOffset = 0;   // bytes
    uint64_t partitionLength = 0;  // bytes
    uint32_t hiddenSectors = 0;
    uint32_t partitionNumber = 0;
    uint8_t partitionType = 0;
    bool bootIndicator = false;
    bool recognized = false;
};

struct DriveLayout {
    uint32_t partitionCount = 0;
    uint32_t signature = 0;
    std::array<PartitionInformation, 4> entries{};
};

// On Linux: the whole disk's device number (st_rdev) and the partition's
// number on it (0 for a whole disk); -1 when unknown.
struct DeviceNumber {
    int64_t disk = -1;
    int32_t partitionNumber = -1;
};

const char* VolumeKindText(VolumeKind kind);   // "Physical", "Logical", ...
const char* VolumeStateText(VolumeState state);
const char* DriveTypeText(uint32_t driveType);  // "Removable", "Fixed", ...

class CVolume {
public:
    CVolume(VolumeKind kind, uint32_t driveType);
    virtual ~CVolume();
    CVolume(const CVolume&) = delete;
    CVolume& operator=(const CVolume&) = delete;

    // Reads `count` 512-byte sectors from `sector` into `buffer` (count * 512
    // bytes). Returns the bytes the last attempt read; 0 is failure. A short
    // read at the end of the source is success with the short count.
    virtual uint32_t ReadSectors(void* buffer, uint64_t sector, uint64_t count);

    // Opens the source read-only (Found and Virtual volumes open their
    // parent's device). 1 when open, 0 with the error logged.
    int OpenDrive();
    bool IsOpen() const;
    void Close();

    std::string DevicePath() const;
    CVolume* ParentVolume() const { return parent == this ? nullptr : parent; }
    std::string DisplayName() const;
    // The folder path of an object: "sdb1:/Docs/Old/" (always ending in '/').
    std::string ObjectFolderPath(const FoundObject& object) const;
    // Raw read of an object's bytes at start + offset (see the size rounding).
    uint32_t FileRead(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size);
    // The read recovery uses: through the analyser for FAT and NTFS volumes.
    uint32_t ReadObjectData(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size);
    uint32_t ReadBootSector();

    // Boot sectors and partition tables (BootSector.cpp).
    // Reads sectors 0 and 1 and fills the type code, cluster geometry, label,
    // serial and the sizes still 0. A volume holding no file system has its
    // partition table walked; every partition becomes a Found child through
    // the computer's AddFoundVolume. 1, or kBootSectorUnreadable.
    int ParseBootSector();
    // The file system a boot sector names: 7 NTFS or exFAT, 11 FAT32, 4 FAT16, 1 FAT12, 0 none.
    static uint32_t DetectFileSystem(const uint8_t* buffer);
    // A sector that names exFAT, carries the boot signature and sane shifts.
    static bool IsExFatBootSector(const uint8_t* buffer);
    void SetFileSystemName(uint32_t code);
    // What a volume holds that the program does not read: "an empty source",
    // "ext2/ext3/ext4", "XFS", "Btrfs", "LUKS encryption", "ISO 9660", "HFS+",
    // "zeros only" or "an unknown file system".
    std::string ForeignContent();
    // Walks the partition table at sector `base` of this volume and reports
    // every partition not already listed as a child.
    void ScanPartitionTable(uint64_t base);

    // Fills the descriptor from the device (DriveQuery.cpp).
    void QueryInformation();

    // Runs the sector phase of an analysis (AnalyseSectors, fs/Analysis.h)
    // on a thread of its own and returns at once; the lost-volume search
    // passes true, so that only boot sectors count (fs/SectorAnalysis.cpp).
    void StartSectorAnalysis(bool searchOnlyFlag);
    // Waits for the thread StartSectorAnalysis started, if any.
    void WaitForSectorAnalysis();
    // Stops that thread if it still runs, and waits for it.
    void StopSectorAnalysis();

    // The reader behind the open source, or null. Shared so that a Close on
    // one thread never pulls it from under a read on another.
    std::shared_ptr<ISectorReader> Reader() const;

    // --- Descriptor ---------------------------------------------------------
    std::array<uint8_t, 1024> bootBuffer{};
    std::string devicePath;   // kernel device path ("/dev/sdb1") or the image file's path
    std::string kernelName;   // "sdb1"; empty for images
    std::string mountPoint;   // where the volume is mounted, if it is

    std::unique_ptr<CFileSystem> analyser;
    CFoundObjectList collection;
    CBitArray clusterBitmap;
    FoundObject rootRecord;   // this volume's node in the found-object tree
    CVolume* parent;          // points to itself when there is none
    std::vector<CVolume*> children;  // not owned; change it through AddChild
    // A copy of the children, safe while another thread adds one.
    std::vector<CVolume*> Children() const;
    void AddChild(CVolume* child);
    void SetChildren(std::vector<CVolume*> list);

    uint32_t driveType;
    VolumeKind kind;
    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0;
    std::atomic<VolumeState> state{VolumeState::NotReady};
    char letter = 0;
    std::string description;
    std::string label;
    std::array<uint8_t, 8> oemName{};
    uint32_t serialNumber = 0;
    uint32_t serialNumberHigh = 0;
    std::string fileSystemName = "Unknown";
    uint32_t typeCode = 0;
    uint32_t ntfs = 0;
    // 1 when the boot sector, or the backup of a damaged one, names exFAT
    // (whose partition type, 7, is NTFS's too).
    uint32_t exfat = 0;
    uint32_t sectorsPerCluster = 1;
    uint32_t bytesPerSector = 512;
    uint32_t bytesPerCluster = 512;
    uint64_t totalSectors = 0;
    uint64_t totalClusters = 0;
    uint64_t startOffset = 0;
    // Where ReadBootSector reads, in bytes from the volume's start: 0, or the
    // backup boot sector of a volume whose own boot sector is damaged.
    uint64_t bootSectorPosition = 0;
    uint32_t fileSystemFlags = 0;
    DiskGeometry geometry{};
    DriveLayout layout{};
    // From a GUID partition table: the partition's name and type GUID.
    std::string partitionName;
    std::string partitionTypeGuid;
    DeviceNumber deviceNumber{};
    std::atomic<uint32_t> fsFoldersFound{0}, fsFilesFound{0};
    std::atomic<uint32_t> sectorFoldersFound{0}, sectorFilesFound{0};
    std::atomic<uint32_t> searchOnly{0};

    std::thread queryThread;
    // Workers that hold this volume beyond one call (image copy, recovery)
    // count themselves here with CVolumeUse; a rescan leaves the list alone
    // while any volume is in use, analysed or searched.
    std::atomic<int> users{0};
    bool InUse() const {
        return users.load() > 0 || state.load() == VolumeState::Analyzing || searchOnly.load() != 0;
    }
    std::thread sectorAnalysisThread;
    std::atomic<bool> sectorAnalysisActive{false};
    // Sectors the last sector scan could not read and scanned as zeros.
    std::atomic<uint64_t> unreadableSectors{0};
    // Bytes the last sector scan read block by block.
    std::atomic<uint64_t> scanBytesRead{0};

    int32_t Id() const { return rootRecord.id; }
    void SetId(int32_t id) { rootRecord.id = id; }

private:
    std::shared_ptr<ISectorReader> EnsureReader();

    mutable std::mutex readerMutex_;
    mutable std::mutex childrenMutex_;
    std::shared_ptr<ISectorReader> reader_;
};

// Marks a volume in use for the life of the object.
class CVolumeUse {
public:
    explicit CVolumeUse(CVolume& volume) : volume_(volume) { ++volume_.users; }
    ~CVolumeUse() { --volume_.users; }
    CVolumeUse(const CVolumeUse&) = delete;
    CVolumeUse& operator=(const CVolumeUse&) = delete;

private:
    CVolume& volume_;
};

}  // namespace vx
