#pragma once
// CFileSystem_FAT: the analyser of FAT12, FAT16 and FAT32 volumes. It reads
// the parameter block, holds the first FAT raw (entries are decoded on the
// fly), fills the volume's cluster bitmap, reads the root directory and then
// every folder it meets, live or deleted, breadth-first, and hands each
// directory entry to the volume's collection. Afterwards it serves the reads
// of the objects it found.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "common/Bytes.h"
#include "fs/FileSystem.h"

namespace vx {

class CFileSystem_FAT : public CFileSystem {
public:
    enum class Family { None, Fat12, Fat16, Fat32 };

    explicit CFileSystem_FAT(CVolume* volume);
    ~CFileSystem_FAT() override;

    int ParseVolume() override;
    uint32_t FileRead(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) override;
    std::vector<SectorRun> SectorRuns(const FoundObject& object) override;
    bool FreeSectorRuns(std::vector<SectorRun>& out) const override;

    // Parameter setup and FAT load; 0 (with a line in the log) when the
    // parameters cannot describe a volume or the FAT cannot be held.
    int SetupParameters();
    int LoadFat();
    void FillClusterBitmap();

    uint32_t FatEntry(uint32_t cluster) const;
    bool IsEndOfChain(uint32_t value) const;
    // The clusters of the chain from `first`, at most `limit` of them; stops
    // at a free or end entry, a cluster outside the FAT and a loop. Returns
    // the count.
    size_t ClusterChain(uint32_t first, std::vector<uint32_t>& out, size_t limit, bool checkRunning = true) const;
    uint64_t ClusterToSector(uint32_t cluster) const;
    // Byte position of a cluster inside the volume.
    uint64_t ClusterPosition(uint32_t cluster) const;
    uint32_t ReadCluster(uint8_t* buffer, uint32_t cluster);

    void ScanDirectory(uint32_t first);
    void ParseEntries(ByteSpan entries, int32_t parent);
    void ParseEntry(ByteSpan entries, size_t index, int32_t parent);

    static bool IsValidEntry(ByteSpan entry);
    static bool IsValidShortName(ByteSpan entry);
    static bool IsDirectory(ByteSpan entry);
    static bool IsDotEntry(ByteSpan entry);
    static bool IsDeletedEntry(ByteSpan entry);
    static uint8_t ShortNameChecksum(ByteSpan entry);
    // The entry's long name when one belongs to it, else its short name.
    static std::string EntryName(ByteSpan entries, size_t index);
    static std::string ShortName(ByteSpan entry);

    Family family() const { return family_; }
    uint32_t entryCount() const { return entryCount_; }
    uint32_t rootCluster() const { return rootCluster_; }
    uint64_t firstDataSector() const { return firstDataSector_; }
    uint32_t bytesPerCluster() const { return bytesPerCluster_; }
    const std::vector<uint32_t>& folderList() const { return folders_; }

    // Largest directory read, in bytes: far above what any FAT
    // implementation writes (65536 entries), low enough that a chain of a
    // million clusters cannot take the memory.
    static constexpr uint64_t kMaxDirectoryBytes = 8u << 20;

private:
    // One contiguous piece of an object's data: `count` clusters from `first`.
    struct Run {
        uint32_t first;
        uint32_t count;
    };
    struct DataMap {
        uint64_t key[3] = {~0ull, ~0ull, ~0ull};
        std::vector<Run> runs;
        uint64_t bytes = 0;  // bytes the runs cover
    };
    void MapObjectData(const FoundObject& object, DataMap& map) const;
    uint32_t ReadRuns(const DataMap& map, uint8_t* out, uint64_t offset, uint32_t size);
    uint32_t ReadContiguous(uint64_t position, uint8_t* out, uint32_t size);
    uint32_t ClustersFor(uint64_t bytes) const;

    Family family_ = Family::None;
    std::vector<uint8_t> fat_;            // the first FAT, raw
    uint32_t fatSize_ = 0;                // bytes of one FAT
    uint32_t numberOfFats_ = 0;
    uint32_t reservedSectors_ = 0;
    uint32_t sectorsPerFat_ = 0;
    uint32_t rootDirectorySector_ = 0;
    uint32_t rootCluster_ = 0;
    uint32_t rootEntryCount_ = 0;
    uint64_t firstDataSector_ = 0;
    uint32_t sectorsPerCluster_ = 0;
    uint32_t bytesPerCluster_ = 0;
    uint32_t entryCount_ = 0;             // FAT entries
    uint32_t clusterLimit_ = 0;           // one past the last cluster that lies in the data area
    int32_t rootId_ = 0;
    std::vector<uint32_t> folders_;       // first clusters still to read, in the order met
    std::vector<uint8_t> folderSeen_;     // one bit per cluster: already in folders_
    mutable std::mutex chainMutex_;
    mutable std::vector<uint64_t> chainMarks_;  // one bit per cluster, for loop checks
    uint32_t sectorScale_ = 1;            // 512-byte sectors per sector of the parameter block
    uint64_t volumeSectors_ = 0;          // 512-byte sectors of the volume

    std::mutex readMutex_;                // FileRead may be called from several threads
    DataMap lastMap_;                     // the data map of the last object read
};

}  // namespace vx
