#pragma once
// CFileSystem: the analyser interface. An analyser reads one volume's own
// structures into its collection (ParseVolume) and serves the reads of the
// objects it found (FileRead).
#include <cstdint>
#include <string>
#include <vector>

#include "fs/FoundObject.h"

namespace vx {

class CVolume;

// A stretch of consecutive 512-byte sectors of a volume.
struct SectorRun {
    uint64_t start = 0;
    uint64_t count = 0;
    bool operator==(const SectorRun&) const = default;
};

class CFileSystem {
public:
    explicit CFileSystem(CVolume* volume);
    virtual ~CFileSystem();
    CFileSystem(const CFileSystem&) = delete;
    CFileSystem& operator=(const CFileSystem&) = delete;

    virtual int ParseVolume() { return 0; }
    // Reads `size` bytes of the object's data from `offset` into `buffer`.
    // Returns the bytes delivered; fewer than asked means the object's data
    // ends or could not be read there; 0 is failure.
    virtual uint32_t FileRead(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) { return 0; }
    // Where FileRead takes the object's data from, in the order it reads
    // them: runs of consecutive sectors of the volume covering the object's
    // size (or, for a size not known, what FileRead would read). Data kept
    // inside the file system's own records has no runs.
    virtual std::vector<SectorRun> SectorRuns(const FoundObject& object);

    // The sectors of the clusters the cluster bitmap marks free, in order,
    // adjacent runs joined. False when the bitmap was not filled. Here bit i
    // is the cluster at sector i x sectors per cluster (NTFS); FAT numbers
    // its clusters from its data area.
    virtual bool FreeSectorRuns(std::vector<SectorRun>& out) const;

    // The root folder record: flags 0x0082, name "."; the analysis controller
    // sets its id and parent and adds it to the collection.
    FoundObject rootFolder;

protected:
    // Bytes the source holds from the volume's start (the partition's size
    // when the volume is one), 0 when unknown. A boot sector claiming more
    // describes a damaged or cut-off volume.
    uint64_t SourceBytes() const;

    CVolume* volume_;
};

}  // namespace vx
