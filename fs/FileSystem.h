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

// A run of 512-byte sectors of a volume.
struct SectorRun {
    uint64_t first = 0;
    uint64_t count = 0;
};

// Adds a run, joined to the last one when they touch.
void AppendRun(std::vector<SectorRun>& out, uint64_t first, uint64_t count);

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

    // The sectors of the clusters the cluster bitmap marks free, in order,
    // adjacent runs joined. False when the bitmap was not filled. Here bit i
    // is the cluster at sector i x sectors per cluster (NTFS); FAT numbers
    // its clusters from its data area.
    virtual bool FreeSectorRuns(std::vector<SectorRun>& out) const;

    // The root folder record: flags 0x0082, name "."; the analysis controller
    // sets its id and parent and adds it to the collection.
    FoundObject rootFolder;

protected:
    CVolume* volume_;
};

}  // namespace vx
