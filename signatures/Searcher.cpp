#include "signatures/Searcher.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include "common/Bytes.h"
#include "device/Volume.h"
#include "fs/FoundObject.h"
#include "settings/EventLog.h"
#include "signatures/CompoundDocument.h"
#include "signatures/SectorScan.h"

namespace vx {

namespace {
// Formats whose size (or start) the scan reads from the file's own header.
constexpr int32_t kCompoundFamily = 500;
constexpr int32_t kAviVideo = 524;
constexpr int32_t kBitmapImage = 525;
constexpr int32_t kHeaderAfterStart = 526;  // the match lies 32 KiB into the file
constexpr uint64_t kHeaderAfterStartOffset = 0x8000;
constexpr uint32_t kAviTrailer = 2048;

pid_t ThreadId() { return pid_t(::syscall(SYS_gettid)); }

// What a structural size rule reads: the block being matched where it holds
// the bytes, else the volume's own sector reads.
class BlockAndVolumeSource final : public IByteSource {
public:
    BlockAndVolumeSource(CVolume& volume, const uint8_t* block, uint64_t blockStart, uint64_t blockLength)
        : volume_(volume), block_(block), blockStart_(blockStart), blockLength_(blockLength) {}

    const uint8_t* Direct(uint64_t position, size_t length) override {
        if (position < blockStart_ || position - blockStart_ > blockLength_ ||
            length > blockLength_ - (position - blockStart_))
            return nullptr;
        return block_ + (position - blockStart_);
    }

    size_t ReadAt(uint64_t position, uint8_t* out, size_t length) override {
        // Callers ask from sector boundaries; a partial last sector goes through a bounce buffer.
        if (position % kSectorSize != 0) return 0;
        const uint64_t sector = position / kSectorSize;
        const size_t whole = length / kSectorSize;
        size_t got = 0;
        if (whole) {
            got = volume_.ReadSectors(out, sector, whole);
            if (got < whole * kSectorSize) return got;
        }
        if (const size_t tail = length % kSectorSize) {
            uint8_t bounce[kSectorSize];
            const uint32_t n = volume_.ReadSectors(bounce, sector + whole, 1);
            const size_t take = std::min<size_t>(tail, n);
            std::memcpy(out + got, bounce, take);
            got += take;
        }
        return got;
    }

private:
    CVolume& volume_;
    const uint8_t* block_;
    uint64_t blockStart_, blockLength_;
};
}  // namespace

int LowerThreadPriority() {
    errno = 0;
    int old = ::getpriority(PRIO_PROCESS, id_t(ThreadId()));
    if (old == -1 && errno != 0) old = 0;
    ::setpriority(PRIO_PROCESS, id_t(ThreadId()), 19);
    return old;
}

void RestoreThreadPriority(int nice) {
    // Raising the priority again needs privileges a user may not have; then
    // the thread simply stays low.
    ::setpriority(PRIO_PROCESS, id_t(ThreadId()), nice);
}

CSearcher::CSearcher(CSectorScan& owner, uint32_t index, uint32_t blockSize)
    : owner_(owner),
      index_(index),
      blockSize_(blockSize),
      buffer_(new uint8_t[blockSize]()),
      next_(new uint8_t[blockSize]()) {
    matches_.reserve(16);
}

CSearcher::~CSearcher() { Stop(); }

bool CSearcher::Start() {
    try {
        thread_ = std::thread(&CSearcher::ThreadMain, this);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void CSearcher::Stop() {
    {
        std::lock_guard lock(mutex_);
        exit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool CSearcher::Idle() const {
    std::lock_guard lock(mutex_);
    return !hasWork_ && !hasNext_;
}

bool CSearcher::CanTake() const {
    std::lock_guard lock(mutex_);
    return !hasNext_;
}

void CSearcher::Hand(std::unique_ptr<uint8_t[]>& filled, uint64_t firstSector, uint64_t valid) {
    {
        std::lock_guard lock(mutex_);
        next_.swap(filled);
        nextSector_ = firstSector;
        nextValid_ = valid;
        hasNext_ = true;
    }
    wake_.notify_all();
}

void CSearcher::ThreadMain() {
    LowerThreadPriority();
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return hasNext_ || exit_; });
            if (exit_) return;
            // Take the queued block; its buffer's place takes the one just matched.
            buffer_.swap(next_);
            firstSector_ = nextSector_;
            valid_ = nextValid_;
            hasNext_ = false;
            hasWork_ = true;
        }
        owner_.WorkerDone();  // room for the next block
        try {
            ParseBlock();
        } catch (...) {
            EventLog().LogError("CSearcher.ParseBlock: exception in the block at sector %lld", (long long)firstSector_);
        }
        {
            std::lock_guard lock(mutex_);
            hasWork_ = false;
        }
        owner_.WorkerDone();
    }
}

bool CSearcher::ApplyStructuralSize(FoundObject& candidate) {
    const SizeRuleEntry entry = FindSizeRule(candidate.type);
    if (!entry.rule) return true;
    if (candidate.start != lastStart_ || reinterpret_cast<const void*>(entry.rule) != lastRule_) {
        const uint64_t volumeEnd = owner_.TotalSectors() * kSectorSize;
        const uint64_t available = volumeEnd > candidate.start ? volumeEnd - candidate.start : 0;
        BlockAndVolumeSource source(owner_.Volume(), buffer_.get(), firstSector_ * kSectorSize, valid_);
        lastResult_ = ReadStructuralSize(candidate.type, source, candidate.start, available, window_);
        lastStart_ = candidate.start;
        lastRule_ = reinterpret_cast<const void*>(entry.rule);
    }
    const StructuralSize& result = lastResult_;
    if (result.verdict == SizeVerdict::NotThisFormat) return false;
    candidate.width = result.width;
    candidate.height = result.height;
    if (result.formatId) candidate.type = int16_t(result.formatId);
    if (result.verdict == SizeVerdict::Sized) {
        candidate.size = result.size;
        candidate.flags |= object_flag::SizeFromStructure;
        if (entry.walked) coveredEnd_ = std::max(coveredEnd_, candidate.start + result.size);
    }
    return true;
}

bool CSearcher::ApplySizeRule(FoundObject& candidate, const uint8_t* at) {
    if (!ApplyStructuralSize(candidate)) return false;
    if (candidate.Is(object_flag::SizeFromStructure)) return true;
    const ByteSpan header(at, kScanStep);
    switch (candidate.type) {
        case kCompoundFamily: {
            const int32_t id = ClassifyCompound(owner_.Volume(), candidate, header);
            candidate.type = int16_t(id);
            return id != 0;
        }
        case kBitmapImage:
            candidate.size = le32(header, 2);
            return true;
        case kAviVideo:
            candidate.size = uint64_t(le32(header, 4)) + kAviTrailer;
            return true;
        case kHeaderAfterStart:
            // A file cannot begin before the volume does.
            if (candidate.start < kHeaderAfterStartOffset) return false;
            candidate.start -= kHeaderAfterStartOffset;
            return true;
        default:
            return true;
    }
}

int CSearcher::ParseBlock() {
    if (!owner_.Running()) return 0;
    const ByteSpan block(buffer_.get(), blockSize_);
    const uint64_t blockStart = firstSector_ * kSectorSize;
    const uint32_t bytesPerCluster = owner_.BytesPerCluster();
    // A block of a free run is tested as far as the run goes; a whole-volume
    // block whole, its unread part being zeros.
    const size_t step = owner_.Step();
    const size_t end = step == kScanStep ? blockSize_ : size_t(std::min<uint64_t>(valid_, blockSize_));
    for (size_t p = 0; p + kScanStep <= end; p += step) {
        if (!owner_.Running()) return 0;
        // Inside a file whose structure was walked: its content, not a lost file.
        if (blockStart + p < coveredEnd_) continue;
        matches_.clear();
        owner_.Matcher().MatchAt(block, p, matches_);
        for (int32_t id : matches_) {
            if (!owner_.Running()) return 0;
            std::unique_ptr<FoundObject> candidate(new (std::nothrow) FoundObject());
            if (!candidate) {
                EventLog().LogError("CSearcher.ParseBlock: Can't allocate memory");
                break;
            }
            candidate->start = blockStart + p;
            candidate->cluster = candidate->start / bytesPerCluster;
            candidate->type = int16_t(id);
            candidate->size = kSizeUnknown;
            candidate->flags = object_flag::Deleted | object_flag::FoundByContent;
            if (!ApplySizeRule(*candidate, buffer_.get() + p)) continue;
            owner_.Sink().OnScanFound(std::move(candidate));
        }
    }
    return 0;
}

}  // namespace vx
