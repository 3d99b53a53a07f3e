#include "device/DriveImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/Notifier.h"
#include "common/Strings.h"
#include "device/Volume.h"
#include "platform/Sysfs.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

// The whole disk a block device belongs to (itself for a disk).
dev_t DiskOf(dev_t device) { return DescribeBlockDevice(device).disk; }

// True when writing `target` would write onto the source: the source file or
// device itself, a device overlapping it, or a file system mounted from it.
bool ImageWouldOverwriteSource(const std::string& target, const std::string& sourcePath, dev_t sourceDevice) {
    struct stat src{};
    const bool haveSource = ::stat(sourcePath.c_str(), &src) == 0;
    struct stat t{};
    if (::stat(target.c_str(), &t) == 0) {
        if (haveSource && S_ISREG(src.st_mode) && S_ISREG(t.st_mode) && src.st_dev == t.st_dev && src.st_ino == t.st_ino)
            return true;
        if (sourceDevice && S_ISBLK(t.st_mode) &&
            (t.st_rdev == sourceDevice || DiskOf(t.st_rdev) == sourceDevice || DiskOf(sourceDevice) == t.st_rdev))
            return true;
    }
    if (!sourceDevice) return false;
    std::filesystem::path folder = std::filesystem::absolute(target).parent_path();
    struct stat dir{};
    if (::stat(folder.c_str(), &dir) != 0) return false;
    if (dir.st_dev == sourceDevice) return true;
    // A file system on a partition of the disk being imaged.
    return DiskOf(sourceDevice) == sourceDevice && DiskOf(dir.st_dev) == sourceDevice;
}

}  // namespace

class CImageJob::Writer {
public:
    explicit Writer(int fd) : fd_(fd) {}
    ~Writer() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Write(const uint8_t* data, size_t length) {
        while (length > 0) {
            ssize_t n = ::write(fd_, data, length);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            length -= size_t(n);
        }
        return true;
    }
    // Flushes the image to its disk before it is called complete.
    bool Close() {
        bool ok = ::fdatasync(fd_) == 0 || errno == EINVAL;
        ok = ::close(fd_) == 0 && ok;
        fd_ = -1;
        return ok;
    }

private:
    int fd_;
};

uint64_t ImageSectorCount(const CVolume& volume) {
    uint64_t sectors = volume.totalSectors;
    switch (volume.kind) {
        case VolumeKind::Physical:
        case VolumeKind::Logical:
        case VolumeKind::Image: {
            // These span their whole device or file: keep a last partial sector too.
            uint64_t bySize = (volume.totalBytes + kSectorSize - 1) / kSectorSize;
            return std::max(sectors, bySize);
        }
        default:
            return sectors ? sectors : volume.totalBytes / kSectorSize;
    }
}

CImageJob::CImageJob(CVolume& source, std::string imagePath, bool overwrite)
    : source_(source), use_(source), imagePath_(std::move(imagePath)), overwrite_(overwrite) {}

CImageJob::~CImageJob() {
    Stop();
    Wait();
}

bool CImageJob::Start() {
    if (thread_.joinable()) return false;
    try {
        thread_ = std::thread([this] { DriveCreateImage(); });
    } catch (...) {
        return false;
    }
    return true;
}

void CImageJob::Wait() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

std::vector<UnreadableRun> CImageJob::UnreadableRuns() const {
    std::lock_guard lock(mutex_);
    return runs_;
}

std::chrono::system_clock::time_point CImageJob::StartTime() const {
    std::lock_guard lock(mutex_);
    return startTime_;
}

std::chrono::milliseconds CImageJob::Elapsed() const {
    std::lock_guard lock(mutex_);
    if (startTick_ == std::chrono::steady_clock::time_point{}) return std::chrono::milliseconds(0);
    auto end = Finished() ? endTick_ : std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(end - startTick_);
}

void CImageJob::RecordUnreadable(uint64_t sector) {
    ++unreadable_;
    std::lock_guard lock(mutex_);
    if (openRun_.count != 0 && openRun_.first + openRun_.count == sector) {
        ++openRun_.count;
        return;
    }
    if (openRun_.count != 0) {
        runs_.push_back(openRun_);
        EventLog().LogError("DriveCreateImage: Can't read sector: 0x%llx, %llu sector(s) written as zeros",
                            (unsigned long long)openRun_.first, (unsigned long long)openRun_.count);
    }
    openRun_ = {sector, 1};
}

void CImageJob::FlushRun() {
    std::lock_guard lock(mutex_);
    if (openRun_.count == 0) return;
    runs_.push_back(openRun_);
    EventLog().LogError("DriveCreateImage: Can't read sector: 0x%llx, %llu sector(s) written as zeros",
                        (unsigned long long)openRun_.first, (unsigned long long)openRun_.count);
    openRun_ = {};
}

bool CImageJob::CopyChunk(Writer& out, std::vector<uint8_t>& buffer, uint64_t sector, uint64_t count,
                          bool& sourceEnded) {
    const uint64_t wanted = count * kSectorSize;
    uint64_t got = source_.ReadSectors(buffer.data(), sector, count);
    if (got > 0) {
        FlushRun();
        sourceEnded = got < wanted;  // a short read: the source ends here
    } else {
        // Read the chunk again sector by sector; what stays unreadable is
        // written as zeros so that every later byte keeps its offset.
        got = 0;
        for (uint64_t i = 0; i < count; ++i) {
            uint8_t* at = buffer.data() + i * kSectorSize;
            uint32_t n = source_.ReadSectors(at, sector + i, 1);
            if (n == 0) {
                std::memset(at, 0, kSectorSize);
                RecordUnreadable(sector + i);
                got += kSectorSize;
                continue;
            }
            FlushRun();
            got += n;
            if (n < kSectorSize) {
                sourceEnded = true;
                break;
            }
        }
    }
    if (!out.Write(buffer.data(), size_t(got))) return false;
    bytesWritten_ += got;
    return true;
}

void CImageJob::Finish(Outcome outcome) {
    {
        std::lock_guard lock(mutex_);
        endTick_ = std::chrono::steady_clock::now();
    }
    running_ = false;
    outcome_ = outcome;
    Notifier().OnImageEvent(WM_IMAGE_DONE, this, 0);
}

void CImageJob::DriveCreateImage() {
    {
        std::lock_guard lock(mutex_);
        startTime_ = std::chrono::system_clock::now();
        startTick_ = std::chrono::steady_clock::now();
    }
    running_ = true;
    try {
        if (!source_.OpenDrive()) {
            Finish(Outcome::SourceNotOpened);
            return;
        }
        std::shared_ptr<ISectorReader> reader = source_.Reader();
        const dev_t sourceDevice = reader ? reader->DeviceNumber() : 0;
        if (ImageWouldOverwriteSource(imagePath_, source_.DevicePath(), sourceDevice)) {
            EventLog().LogError("DriveCreateImage: the image file '%s' would be written onto the source %s",
                                imagePath_.c_str(), source_.DisplayName().c_str());
            createError_ = EINVAL;
            Notifier().OnImageEvent(WM_IMAGE_CREATE_ERROR, this, EINVAL);
            Finish(Outcome::TargetOnSource);
            return;
        }
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite_ ? O_TRUNC : O_EXCL);
        int fd = ::open(imagePath_.c_str(), flags, 0644);
        if (fd < 0) {
            createError_ = errno;
            EventLog().LogError("DriveCreateImage: Can't create image file '%s': %s", imagePath_.c_str(),
                                std::strerror(createError_));
            Notifier().OnImageEvent(WM_IMAGE_CREATE_ERROR, this, createError_);
            Finish(Outcome::CreateFailed);
            return;
        }
        Writer out(fd);
        const uint64_t total = ImageSectorCount(source_);
        totalSectors_ = total;
        std::vector<uint8_t> buffer(kChunkSectors * kSectorSize);
        Outcome outcome = Outcome::Done;
        for (uint64_t sector = 0; sector < total;) {
            currentSector_ = sector;
            if (stopRequested_) {
                outcome = Outcome::Stopped;
                break;
            }
            const uint64_t count = std::min(kChunkSectors, total - sector);
            bool sourceEnded = false;
            if (!CopyChunk(out, buffer, sector, count, sourceEnded)) {
                EventLog().LogError("DriveCreateImage: Can't write sector: 0x%llx", (unsigned long long)sector);
                outcome = Outcome::WriteFailed;
                break;
            }
            Notifier().OnImageEvent(WM_IMAGE_PROGRESS, this, 0);
            sector += count;
            if (sourceEnded) {
                if (bytesWritten_ + kSectorSize <= total * kSectorSize)
                    EventLog().LogError("DriveCreateImage: the source ended at byte %llu of %llu",
                                        (unsigned long long)bytesWritten_.load(),
                                        (unsigned long long)(total * kSectorSize));
                break;
            }
        }
        currentSector_ = std::min<uint64_t>(total, bytesWritten_ / kSectorSize);
        FlushRun();
        if (!out.Close() && outcome == Outcome::Done) {
            EventLog().LogError("DriveCreateImage: Can't write sector: 0x%llx", (unsigned long long)currentSector_.load());
            outcome = Outcome::WriteFailed;
        }
        const unsigned long long bad = unreadable_.load();
        std::string summary = Format("DriveCreateImage: %llu sector(s) copied to '%s', %llu unreadable sector(s)",
                                     (unsigned long long)(bytesWritten_ / kSectorSize), imagePath_.c_str(), bad);
        if (bad) EventLog().LogError("%s", summary.c_str());
        else EventLog().LogText(summary);
        Finish(outcome);
    } catch (...) {
        EventLog().LogError("DriveCreateImage except");
        Finish(Outcome::WriteFailed);
    }
}

std::unique_ptr<CImageJob> CreateImage(CVolume& volume, const std::string& imagePath, bool overwrite) {
    auto job = std::make_unique<CImageJob>(volume, imagePath, overwrite);
    if (!job->Start()) return nullptr;
    return job;
}

}  // namespace vx
