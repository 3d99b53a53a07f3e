#include "platform/SectorReader.h"

#include "platform/ImageContainers.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace vx {

namespace {

class CPosixSectorReader final : public ISectorReader {
public:
    CPosixSectorReader(int fd, const struct stat& st) : fd_(fd), st_(st) {}
    ~CPosixSectorReader() override { ::close(fd_); }

    int64_t ReadAt(void* buffer, size_t length, uint64_t position, int* error) override {
        size_t done = 0;
        auto* out = static_cast<char*>(buffer);
        while (done < length) {
            ssize_t n = ::pread(fd_, out + done, length - done, off_t(position + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                if (error) *error = errno;
                return -1;
            }
            if (n == 0) break;  // end of the source
            done += size_t(n);
        }
        return int64_t(done);
    }

    uint64_t Size() const override {
        if (S_ISBLK(st_.st_mode)) {
            uint64_t bytes = 0;
            if (::ioctl(fd_, BLKGETSIZE64, &bytes) == 0) return bytes;
            return 0;
        }
        struct stat now{};
        return ::fstat(fd_, &now) == 0 ? uint64_t(now.st_size) : uint64_t(st_.st_size);
    }

    bool Geometry(DiskGeometry& out) const override {
        if (!S_ISBLK(st_.st_mode)) return false;
        hd_geometry geo{};
        uint32_t sectorSize = 512;
        LogicalSectorSize(sectorSize);
        if (::ioctl(fd_, HDIO_GETGEO, &geo) == 0 && geo.heads && geo.sectors) {
            out.tracksPerCylinder = geo.heads;
            out.sectorsPerTrack = geo.sectors;
            out.cylinders = Size() / (uint64_t(geo.heads) * geo.sectors * sectorSize);
        } else {
            // No BIOS geometry (loop, NVMe): describe the disk as one track per cylinder.
            out.tracksPerCylinder = 1;
            out.sectorsPerTrack = 1;
            out.cylinders = Size() / sectorSize;
        }
        out.bytesPerSector = sectorSize;
        out.mediaType = 12;  // fixed media
        return true;
    }

    bool LogicalSectorSize(uint32_t& out) const override {
        if (!S_ISBLK(st_.st_mode)) return false;
        int size = 0;
        if (::ioctl(fd_, BLKSSZGET, &size) != 0 || size <= 0) return false;
        out = uint32_t(size);
        return true;
    }

    dev_t DeviceNumber() const override { return S_ISBLK(st_.st_mode) ? st_.st_rdev : 0; }
    bool IsBlockDevice() const override { return S_ISBLK(st_.st_mode); }

private:
    int fd_;
    struct stat st_;
};

std::mutex g_factoryMutex;
SectorReaderFactory g_factory;

}  // namespace

std::unique_ptr<ISectorReader> OpenPosixSectorReader(const std::string& path, std::string* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return nullptr;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode))) {
        if (error) *error = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a file or block device";
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<CPosixSectorReader>(fd, st);
}

void SetSectorReaderFactory(SectorReaderFactory factory) {
    std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
}

std::unique_ptr<ISectorReader> OpenSectorReader(const std::string& path, std::string* error) {
    SectorReaderFactory factory;
    {
        std::lock_guard lock(g_factoryMutex);
        factory = g_factory;
    }
    if (factory) return factory(path, error);
    std::string containerError;
    if (std::unique_ptr<ISectorReader> container = OpenContainerSectorReader(path, &containerError)) return container;
    if (!containerError.empty()) {
        if (error) *error = containerError;
        return nullptr;
    }
    return OpenPosixSectorReader(path, error);
}

}  // namespace vx
