#pragma once
// Positioned, read-only access to an image file or a block device. Readers
// never seek, so any number of threads may read through one reader at once.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vx {

struct DiskGeometry {
    uint64_t cylinders = 0;
    uint32_t mediaType = 0;
    uint32_t tracksPerCylinder = 0;
    uint32_t sectorsPerTrack = 0;
    uint32_t bytesPerSector = 0;
};

class ISectorReader {
public:
    virtual ~ISectorReader() = default;
    // Reads up to `length` bytes at byte `position`. Returns the bytes read
    // (fewer at the end of the source, 0 past it) or -1 on a read error, with
    // the system's error number in `*error` when given.
    virtual int64_t ReadAt(void* buffer, size_t length, uint64_t position, int* error = nullptr) = 0;
    // Size of the source in bytes (BLKGETSIZE64 for a device, the file size otherwise).
    virtual uint64_t Size() const = 0;
    // Device queries; false where the source cannot answer (a regular file).
    virtual bool Geometry(DiskGeometry& out) const { return false; }
    virtual bool LogicalSectorSize(uint32_t& out) const { return false; }
    // st_rdev for a block device, 0 for a regular file.
    virtual dev_t DeviceNumber() const { return 0; }
    virtual bool IsBlockDevice() const { return false; }
    // What holds the sectors: "raw" for a plain file or a device, else the
    // container's kind ("split raw", "E01", "VHD", "VHDX", "VMDK", "QCOW2").
    virtual const char* ContainerKind() const { return "raw"; }
    // The acquisition hash the container stores ("MD5 <hex>"), or empty.
    virtual std::string StoredHash() const { return {}; }
};

// Opens `path` with O_RDONLY|O_CLOEXEC, nothing else. Null on failure, with
// the system's reason in `*error`.
std::unique_ptr<ISectorReader> OpenPosixSectorReader(const std::string& path, std::string* error);

// The seam below every volume: volumes open their readers through this
// factory. Without one, an image container (platform/ImageContainers.h) is
// opened through its library and anything else as a plain file or device. Tests install one that wraps the POSIX reader to make chosen
// sectors fail; null restores the POSIX reader.
using SectorReaderFactory = std::function<std::unique_ptr<ISectorReader>(const std::string& path, std::string* error)>;
void SetSectorReaderFactory(SectorReaderFactory factory);
std::unique_ptr<ISectorReader> OpenSectorReader(const std::string& path, std::string* error);

}  // namespace vx
