#pragma once
// CFileSystem_NTFS: the analyser of an NTFS volume. It reads the master file
// table through the runs of record 0, reports every record that carries a
// file name (live and deleted files and folders), fills the cluster bitmap
// from record 6 and serves the reads of the objects it found.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Bytes.h"
#include "fs/FileSystem.h"
#include "fs/MftRecord.h"

namespace vx {

class CFileSystem_NTFS : public CFileSystem {
public:
    explicit CFileSystem_NTFS(CVolume* volume);
    ~CFileSystem_NTFS() override;

    int ParseVolume() override;
    uint32_t FileRead(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) override;
    std::vector<SectorRun> SectorRuns(const FoundObject& object) override;

    // The steps of ParseVolume. ReadLayout opens the volume and reads the
    // boot sector's geometry and the MFT's first record; ParseVolume and the
    // `info` command use it. 1 on success.
    int ReadLayout();
    int LoadMft();
    int LoadClusterBitmap();

    // Reads up to ten records one after another from the object's start (while
    // inside the volume) and reports each one that begins "FILE". Returns the
    // records reported.
    int ProbeRecords(const FoundObject& at);
    // Builds a found object from one record image and reports it.
    int ReportRecordImage(ByteSpan image);

    // Reads MFT record `n` (record-size bytes) into `image`. Returns the
    // bytes read, 0 when the record cannot be read or is refused.
    uint32_t ReadRecord(int32_t n, uint8_t* image) const;
    // Reads `count` bytes at byte `position` of the volume; returns the bytes
    // delivered (fewer at a read error or the end of the source).
    uint32_t ReadBytes(uint64_t position, uint32_t count, uint8_t* out) const;
    uint32_t ReadCluster(int64_t cluster, uint8_t* buffer) const;

    uint64_t MftCluster() const { return mftCluster_; }
    uint32_t RecordSize() const { return recordSize_; }
    uint64_t RecordCount() const { return recordCount_; }
    uint32_t BytesPerCluster() const { return bytesPerCluster_; }
    // Clusters the boot sector states (runs must lie within them), and the
    // ones the source holds (what allocations are sized by).
    uint64_t TotalClusters() const { return totalClusters_; }
    uint64_t PresentClusters() const { return presentClusters_; }
    uint64_t DamagedRecords() const { return damaged_; }

    // Where found objects go. Unset, they go to the volume's add hook.
    std::function<void(const FoundObject&)> objectSink;

private:
    // Returns true when the record was reported.
    bool ProcessRecord(int64_t n, ByteSpan image);
    void Report(const FoundObject& object);
    bool KeepRunning() const;
    void SetProgress(uint64_t n) const;
    std::shared_ptr<const CMftRecord> Mft() const;
    uint32_t ReadByContent(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) const;

    uint64_t mftCluster_ = 0;
    uint32_t recordSize_ = 1024;
    uint64_t recordCount_ = 0;
    uint32_t bytesPerCluster_ = 4096;
    uint32_t bytesPerSector_ = 512;
    uint64_t totalClusters_ = 0;
    uint64_t presentClusters_ = 0;
    uint64_t damaged_ = 0;

    mutable std::mutex mftMutex_;
    std::shared_ptr<const CMftRecord> mft_;

    // Reused from record to record by ParseVolume (analysis thread only).
    std::unique_ptr<CMftRecord> scratch_;
    FoundObject template_;
    std::string templateName_;
};

}  // namespace vx
