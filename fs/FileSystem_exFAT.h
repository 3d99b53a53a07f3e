#pragma once
// CFileSystem_exFAT: the analyser of exFAT volumes. It takes the main boot
// region, or the backup one when the main one fails its checksum, holds the
// FAT raw, fills the volume's cluster bitmap from the allocation bitmap,
// reads the root directory and then every folder it meets, live or deleted,
// breadth-first, and hands each file entry set to the volume's collection.
// Afterwards it serves the reads of the objects it found.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "common/Bytes.h"
#include "fs/FileSystem.h"

namespace vx {

class CFileSystem_exFAT : public CFileSystem {
public:
    // Set in a found object's attributes (above every exFAT attribute bit):
    // its data is contiguous, no FAT chain describes it.
    static constexpr uint16_t kAttrContiguous = 0x4000;

    explicit CFileSystem_exFAT(CVolume* volume);
    ~CFileSystem_exFAT() override;

    int ParseVolume() override;
    uint32_t FileRead(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) override;
    std::vector<SectorRun> SectorRuns(const FoundObject& object) override;

    // A sector that names exFAT, carries the boot signature and has the zero
    // area where a FAT parameter block would be.
    static bool IsBootSector(ByteSpan sector);
    // The boot checksum over the first 11 sectors of a boot region.
    static uint32_t BootChecksum(ByteSpan region, uint32_t bytesPerSector);
    // The checksum of an entry set (all its entries, but the checksum field).
    // `asLive` counts every entry's in-use bit as set, which is how the set
    // was summed before a deletion cleared those bits.
    static uint16_t SetChecksum(ByteSpan set, bool asLive);
    // Windows file time of an exFAT time stamp with its 10 ms part and UTC
    // offset (a valid offset gives UTC; without one the time is taken as it
    // stands, as FAT times are). 0 for an impossible date.
    static uint64_t TimestampToFileTime(uint32_t stamp, uint8_t tenMs, uint8_t utcOffset);
    // Where the boot region the analyser reads starts: 0 for the main one,
    // or the byte offset of a valid backup; ~0 when neither is usable.
    static uint64_t FindUsableBootRegion(const std::function<bool(uint64_t, uint8_t*)>& read512,
                                         bool* mainDamaged = nullptr);

    // The start of the volume whose boot sector lies at byte `at` (read512
    // reads the 512 bytes at a byte position of the searched source): `at`
    // itself for a main boot sector or anything not exFAT, the region 12
    // sectors before for a backup whose main one is damaged, and kSizeUnknown
    // for a backup whose main one is intact (that one is reported itself).
    static uint64_t VolumeStartOfBootSector(const std::function<bool(uint64_t, uint8_t*)>& read512, uint64_t at);

    int SetupParameters();
    int LoadFat();
    int LoadAllocationBitmap(uint32_t first, uint64_t length);

    uint32_t FatEntry(uint32_t cluster) const;
    bool IsAllocated(uint32_t cluster) const;
    uint64_t ClusterPosition(uint32_t cluster) const;

    uint32_t bytesPerCluster() const { return bytesPerCluster_; }
    uint32_t clusterCount() const { return clusterCount_; }
    uint32_t rootCluster() const { return rootCluster_; }
    bool usedBackupBootRegion() const { return usedBackup_; }
    // Entry sets whose checksum did not match.
    uint32_t badChecksumSets() const { return badChecksumSets_; }

private:
    struct Run {
        uint32_t first;
        uint32_t count;
    };
    // Where `length` bytes of data from `first` lie: contiguous, along the
    // FAT chain, or (deleted, chained) from the first cluster over the
    // clusters the allocation bitmap shows free.
    void MapData(uint32_t first, uint64_t length, bool contiguous, bool deleted, std::vector<Run>& runs) const;
    uint64_t ReadRuns(const std::vector<Run>& runs, uint8_t* out, uint64_t offset, uint64_t size);
    uint32_t ReadContiguous(uint64_t position, uint8_t* out, uint32_t size);

    struct Folder {
        uint32_t first;
        uint64_t length;
        bool contiguous;
        bool deleted;
    };
    void ScanDirectory(const Folder& folder, bool root);
    void ParseEntries(ByteSpan entries, int32_t parent, bool root);
    // Handles the entry set starting at `index`; returns the entries it used.
    size_t ParseEntrySet(ByteSpan entries, size_t index, int32_t parent);

    std::vector<uint8_t> bootRegion_;  // the 12 sectors read
    uint64_t regionStart_ = 0;         // byte offset of the region read
    bool usedBackup_ = false;
    uint32_t bytesPerSector_ = 512;
    uint32_t bytesPerCluster_ = 0;
    uint64_t fatOffset_ = 0;            // bytes
    uint64_t fatLength_ = 0;            // bytes of the first FAT held
    uint64_t heapOffset_ = 0;           // bytes
    uint32_t clusterCount_ = 0;         // data clusters that fit the source
    uint32_t rootCluster_ = 0;
    int32_t rootId_ = 1;
    std::vector<uint8_t> fat_;
    std::vector<uint8_t> allocated_;    // the allocation bitmap: bit i for cluster i + 2
    bool haveBitmap_ = false;
    std::vector<Folder> folders_;
    std::vector<uint8_t> folderSeen_;   // one bit per cluster
    uint32_t badChecksumSets_ = 0;

    // Valid data lengths below the data length, by (first cluster, size, deleted).
    std::mutex validMutex_;
    std::map<std::tuple<uint64_t, uint64_t, bool>, uint64_t> validLength_;

    std::mutex readMutex_;
    std::tuple<uint64_t, uint64_t, uint16_t> lastKey_{~0ull, ~0ull, 0xFFFF};
    std::vector<Run> lastRuns_;
};

}  // namespace vx
