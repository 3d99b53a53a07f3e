// CFileSystem_exFAT: the boot region, the FAT, the allocation bitmap and the
// reads of found objects. The directory walk is in ExFatDirectory.cpp.
#include "fs/FileSystem_exFAT.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_set>

#include "device/Volume.h"
#include "fs/AnalysisState.h"
#include "fs/ExFatLayout.h"
#include "fs/FatTime.h"
#include "fs/ObjectRuns.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

constexpr uint64_t kReadPieceBytes = 1u << 20;  // one ReadSectors call at most
constexpr uint64_t kTicksPer10Ms = 100000;
constexpr uint64_t kTicksPerMinute = 600000000;
// Cluster numbers double as object ids, which are positive 32-bit numbers.
constexpr uint32_t kMaxUsableClusters = 0x7FFFFFF0u;

bool Running() { return TheAnalysisState().Running(); }

}  // namespace

CFileSystem_exFAT::CFileSystem_exFAT(CVolume* volume) : CFileSystem(volume) {}

CFileSystem_exFAT::~CFileSystem_exFAT() = default;

bool CFileSystem_exFAT::IsBootSector(ByteSpan s) {
    return s.size() >= kSectorSize && CVolume::IsExFatBootSector(s.data());
}

uint32_t CFileSystem_exFAT::BootChecksum(ByteSpan region, uint32_t bytesPerSector) {
    const size_t bytes = std::min<size_t>(region.size(), size_t(bytesPerSector) * exfat::kChecksumSector);
    uint32_t sum = 0;
    for (size_t i = 0; i < bytes; ++i) {
        if (i == exfat::kVolumeFlags || i == exfat::kVolumeFlags + 1 || i == exfat::kPercentInUse) continue;
        sum = ((sum & 1) ? 0x80000000u : 0) + (sum >> 1) + region[i];
    }
    return sum;
}

uint16_t CFileSystem_exFAT::SetChecksum(ByteSpan set, bool asLive) {
    uint16_t sum = 0;
    for (size_t i = 0; i < set.size(); ++i) {
        if (i == exfat::kSetChecksum || i == exfat::kSetChecksum + 1) continue;
        uint8_t b = set[i];
        if (asLive && i % exfat::kEntrySize == exfat::kEntryType) b |= exfat::kTypeInUse;
        sum = uint16_t(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + b);
    }
    return sum;
}

uint64_t CFileSystem_exFAT::TimestampToFileTime(uint32_t stamp, uint8_t tenMs, uint8_t utcOffset) {
    uint64_t t = DosDateTimeToFileTime(uint16_t(stamp >> 16), uint16_t(stamp & 0xFFFF));
    if (t == 0) return 0;
    if (tenMs < 200) t += uint64_t(tenMs) * kTicksPer10Ms;
    if (utcOffset & exfat::kUtcOffsetValid) {
        int quarters = utcOffset & 0x7F;
        if (quarters & 0x40) quarters -= 0x80;
        const int64_t shift = int64_t(quarters) * 15 * int64_t(kTicksPerMinute);
        // The stamp is local time at that offset; UTC is the stamp minus it.
        if (shift > 0 && uint64_t(shift) > t) return 0;
        t = uint64_t(int64_t(t) - shift);
    }
    return t;
}

uint64_t CFileSystem_exFAT::FindUsableBootRegion(const std::function<bool(uint64_t, uint8_t*)>& read512,
                                                 bool* mainDamaged) {
    auto regionValid = [&](uint64_t at, uint32_t shift) {
        const uint32_t bytesPerSector = 1u << shift;
        std::vector<uint8_t> region(size_t(bytesPerSector) * exfat::kBootRegionSectors);
        for (size_t done = 0; done < region.size(); done += kSectorSize)
            if (!read512(at + done, region.data() + done)) return false;
        const uint32_t sum = BootChecksum(ByteSpan(region), bytesPerSector);
        ByteSpan check(region.data() + size_t(bytesPerSector) * exfat::kChecksumSector, bytesPerSector);
        for (size_t i = 0; i < check.size(); i += 4)
            if (le32(check, i) != sum) return false;
        return true;
    };
    uint8_t sector[kSectorSize];
    bool mainSector = false;
    if (mainDamaged) *mainDamaged = false;
    if (read512(0, sector) && IsBootSector(ByteSpan(sector, kSectorSize))) {
        mainSector = true;
        const uint32_t shift = sector[exfat::kBytesPerSectorShift];
        if (shift >= exfat::kMinBytesPerSectorShift && shift <= exfat::kMaxBytesPerSectorShift && regionValid(0, shift))
            return 0;
    }
    if (mainDamaged) *mainDamaged = true;
    for (uint32_t shift = exfat::kMinBytesPerSectorShift; shift <= exfat::kMaxBytesPerSectorShift; ++shift) {
        const uint64_t at = uint64_t(exfat::kBackupBootRegion) << shift;
        if (!read512(at, sector) || !IsBootSector(ByteSpan(sector, kSectorSize))) continue;
        if (sector[exfat::kBytesPerSectorShift] != shift) continue;
        if (regionValid(at, shift)) return at;
    }
    // Neither region sums up: a main boot sector that still looks right is
    // better than nothing.
    return mainSector ? 0 : ~0ull;
}

uint64_t CFileSystem_exFAT::VolumeStartOfBootSector(const std::function<bool(uint64_t, uint8_t*)>& read512,
                                                   uint64_t at) {
    uint8_t sector[kSectorSize];
    if (!read512(at, sector) || !IsBootSector(ByteSpan(sector, kSectorSize))) return at;
    const uint32_t shift = sector[exfat::kBytesPerSectorShift];
    const uint64_t bytesPerSector = 1ull << shift;
    const uint64_t region = bytesPerSector * exfat::kBootRegionSectors;
    if (at < region) return at;
    uint8_t before[kSectorSize];
    if (read512(at - region, before) && IsBootSector(ByteSpan(before, kSectorSize)) &&
        before[exfat::kBytesPerSectorShift] == shift)
        return kSizeUnknown;
    // The main region's checksum sector lies just before a backup boot
    // sector; it carries the checksum of the region that follows it, which
    // is the same as the main one's.
    std::vector<uint8_t> own(size_t(bytesPerSector) * exfat::kChecksumSector);
    for (size_t done = 0; done < own.size(); done += kSectorSize)
        if (!read512(at + done, own.data() + done)) return at;
    const uint32_t sum = BootChecksum(ByteSpan(own), uint32_t(bytesPerSector));
    if (!read512(at - bytesPerSector, before)) return at;
    for (size_t i = 0; i < kSectorSize; i += 4)
        if (le32(ByteSpan(before, kSectorSize), i) != sum) return at;
    return at - region;
}

int CFileSystem_exFAT::SetupParameters() {
    auto read512 = [this](uint64_t at, uint8_t* out) { return volume_->ReadSectors(out, at / kSectorSize, 1) >= kSectorSize; };
    bool mainDamaged = false;
    const uint64_t at = FindUsableBootRegion(read512, &mainDamaged);
    if (at == ~0ull) {
        EventLog().LogError("exFAT: neither the main nor the backup boot region is usable");
        return 0;
    }
    usedBackup_ = at != 0;
    if (usedBackup_) EventLog().LogError("exFAT: the main boot region is damaged, the backup boot region is used");
    else if (mainDamaged) EventLog().LogError("exFAT: the boot region checksum does not match, the boot sector is used as it is");
    regionStart_ = at;
    bootRegion_.assign(kSectorSize, 0);
    if (!read512(at, bootRegion_.data())) return 0;
    ByteSpan b(bootRegion_);

    const uint32_t bpsShift = le8(b, exfat::kBytesPerSectorShift);
    const uint32_t spcShift = le8(b, exfat::kSectorsPerClusterShift);
    const uint32_t fats = le8(b, exfat::kNumberOfFats);
    const uint64_t fatOffset = le32(b, exfat::kFatOffset);
    const uint64_t fatLength = le32(b, exfat::kFatLength);
    const uint64_t heapOffset = le32(b, exfat::kClusterHeapOffset);
    const uint32_t clusters = le32(b, exfat::kClusterCount);
    const uint64_t volumeLength = le64(b, exfat::kVolumeLength);
    rootCluster_ = le32(b, exfat::kRootCluster);
    if (bpsShift < exfat::kMinBytesPerSectorShift || bpsShift > exfat::kMaxBytesPerSectorShift ||
        bpsShift + spcShift > exfat::kMaxClusterShift) {
        EventLog().LogError("exFAT boot sector: sector shift %u and cluster shift %u are not valid", bpsShift, spcShift);
        return 0;
    }
    if (fats < 1 || fats > 2 || fatOffset < 2 * exfat::kBootRegionSectors || fatLength == 0 ||
        heapOffset < fatOffset + fatLength * fats || clusters == 0 || clusters > exfat::kMaxClusterCount) {
        EventLog().LogError("exFAT boot sector: the FAT (%llu sectors at %llu) and cluster heap (%u clusters at %llu) "
                            "do not describe a volume",
                            (unsigned long long)fatLength, (unsigned long long)fatOffset, clusters,
                            (unsigned long long)heapOffset);
        return 0;
    }
    bytesPerSector_ = 1u << bpsShift;
    bytesPerCluster_ = 1u << (bpsShift + spcShift);
    fatOffset_ = fatOffset << bpsShift;
    heapOffset_ = heapOffset << bpsShift;

    // The volume ends where the boot sector says, or where the source ends
    // when that comes first; clusters beyond it cannot be read.
    uint64_t available = volumeLength < (1ull << (64 - bpsShift)) ? volumeLength << bpsShift : ~0ull;
    if (auto reader = volume_->Reader()) {
        const uint64_t size = reader->Size();
        const uint64_t source = size > volume_->startOffset ? size - volume_->startOffset : 0;
        if (source != 0) available = std::min(available, source);
    }
    const uint64_t heapClusters = available > heapOffset_ ? (available - heapOffset_) / bytesPerCluster_ : 0;
    const uint64_t fatBytes = std::min(fatLength << bpsShift, available > fatOffset_ ? available - fatOffset_ : 0);
    const uint64_t fatClusters = fatBytes / exfat::kFatEntrySize > 2 ? fatBytes / exfat::kFatEntrySize - 2 : 0;
    clusterCount_ = uint32_t(std::min<uint64_t>({clusters, heapClusters, fatClusters, kMaxUsableClusters}));
    if (clusterCount_ < clusters)
        EventLog().LogError("exFAT: the boot sector counts %u clusters, %u of them can be read", clusters,
                            clusterCount_);
    if (clusterCount_ == 0) return 0;
    fatLength_ = (uint64_t(clusterCount_) + 2) * exfat::kFatEntrySize;

    // The descriptor counts in the 512-byte reading unit.
    volume_->sectorsPerCluster = bytesPerCluster_ / kSectorSize;
    volume_->bytesPerCluster = bytesPerCluster_;
    return 1;
}

int CFileSystem_exFAT::LoadFat() {
    try {
        fat_.assign(size_t((fatLength_ + kSectorSize - 1) / kSectorSize * kSectorSize), 0);
    } catch (const std::bad_alloc&) {
        EventLog().LogError("Can't allocate memory!");
        return 0;
    }
    const uint64_t first = fatOffset_ / kSectorSize;
    const uint64_t sectors = fat_.size() / kSectorSize;
    const uint64_t piece = kReadPieceBytes / kSectorSize;
    uint64_t unreadable = 0;
    for (uint64_t done = 0; done < sectors && Running(); done += piece) {
        const uint64_t count = std::min(piece, sectors - done);
        if (volume_->ReadSectors(fat_.data() + done * kSectorSize, first + done, count) != 0) continue;
        for (uint64_t k = 0; k < count && Running(); ++k)
            if (volume_->ReadSectors(fat_.data() + (done + k) * kSectorSize, first + done + k, 1) == 0) ++unreadable;
    }
    if (unreadable)
        EventLog().LogError("CFileSystem_exFAT: %llu FAT sector(s) not readed, their chains end there",
                            (unsigned long long)unreadable);
    return 1;
}

uint32_t CFileSystem_exFAT::FatEntry(uint32_t c) const { return le32(ByteSpan(fat_), size_t(c) * exfat::kFatEntrySize); }

bool CFileSystem_exFAT::IsAllocated(uint32_t c) const {
    if (c < exfat::kFirstCluster || c - exfat::kFirstCluster >= clusterCount_) return true;
    if (!haveBitmap_) return FatEntry(c) != 0;
    const uint32_t i = c - exfat::kFirstCluster;
    return i / 8 < allocated_.size() && (allocated_[i / 8] >> (i % 8)) & 1;
}

uint64_t CFileSystem_exFAT::ClusterPosition(uint32_t c) const {
    return heapOffset_ + uint64_t(c - exfat::kFirstCluster) * bytesPerCluster_;
}

int CFileSystem_exFAT::LoadAllocationBitmap(uint32_t first, uint64_t length) {
    const uint64_t need = (uint64_t(clusterCount_) + 7) / 8;
    if (first < exfat::kFirstCluster || first - exfat::kFirstCluster >= clusterCount_ || length < need) {
        EventLog().LogError("exFAT: the allocation bitmap (cluster %u, %llu bytes) does not cover the volume", first,
                            (unsigned long long)length);
        return 0;
    }
    std::vector<Run> runs;
    MapData(first, need, false, false, runs);
    std::vector<uint8_t> bits(size_t(need), 0);
    if (ReadRuns(runs, bits.data(), 0, need) < need) {
        EventLog().LogError("exFAT: the allocation bitmap could not be read");
        return 0;
    }
    allocated_ = std::move(bits);
    haveBitmap_ = true;
    CBitArray& bitmap = volume_->clusterBitmap;
    bitmap.SetSize(uint64_t(clusterCount_) + exfat::kFirstCluster, false);
    bitmap.Set(0, true);
    bitmap.Set(1, true);
    for (uint32_t i = 0; i < clusterCount_; ++i)
        if ((allocated_[i / 8] >> (i % 8)) & 1) bitmap.Set(uint64_t(i) + exfat::kFirstCluster, true);
    return 1;
}

void CFileSystem_exFAT::MapData(uint32_t first, uint64_t length, bool contiguous, bool deleted,
                                std::vector<Run>& runs) const {
    runs.clear();
    const uint32_t end = clusterCount_ + exfat::kFirstCluster;
    if (first < exfat::kFirstCluster || first >= end || length == 0 || bytesPerCluster_ == 0) return;
    const uint64_t want = std::min<uint64_t>((length + bytesPerCluster_ - 1) / bytesPerCluster_, clusterCount_);
    auto add = [&](uint32_t c) {
        if (!runs.empty() && runs.back().first + runs.back().count == c) ++runs.back().count;
        else runs.push_back(Run{c, 1});
    };
    if (contiguous || (!deleted && FatEntry(first) == 0)) {
        const uint64_t count = std::min<uint64_t>(want, end - first);
        runs.push_back(Run{first, uint32_t(count)});
        return;
    }
    uint64_t taken = 0;
    if (!deleted) {
        std::unordered_set<uint32_t> seen;
        for (uint32_t c = first; taken < want && c >= exfat::kFirstCluster && c < end; c = FatEntry(c)) {
            if (want > 1 && !seen.insert(c).second) break;  // a loop in the FAT
            add(c);
            ++taken;
        }
        return;
    }
    // A deleted chain is gone from the FAT: its data is taken from the first
    // cluster on over the clusters that are free, since the ones in use
    // belong to files that still exist.
    for (uint32_t c = first; c < end && taken < want; ++c) {
        if (c != first && IsAllocated(c)) continue;
        add(c);
        ++taken;
    }
}

uint32_t CFileSystem_exFAT::ReadContiguous(uint64_t position, uint8_t* out, uint32_t size) {
    std::vector<uint8_t> piece;
    uint32_t done = 0;
    while (done < size) {
        const uint64_t at = position + done;
        const uint64_t sector = at / kSectorSize;
        const uint32_t skip = uint32_t(at % kSectorSize);
        const uint32_t want = uint32_t(std::min<uint64_t>(size - done, kReadPieceBytes - skip));
        const uint64_t count = (uint64_t(skip) + want + kSectorSize - 1) / kSectorSize;
        piece.resize(count * kSectorSize);
        const uint32_t got = volume_->ReadSectors(piece.data(), sector, count);
        if (got == 0) {
            EventLog().LogError("CFileSystem_exFAT.FileRead: Can't read sector at: %lld", (long long)sector);
            return done;
        }
        const uint32_t useful = got > skip ? std::min(got - skip, want) : 0;
        std::memcpy(out + done, piece.data() + skip, useful);
        done += useful;
        if (useful < want) break;  // the source ends here
    }
    return done;
}

uint64_t CFileSystem_exFAT::ReadRuns(const std::vector<Run>& runs, uint8_t* out, uint64_t offset, uint64_t size) {
    uint64_t done = 0;
    uint64_t runStart = 0;
    for (const Run& run : runs) {
        const uint64_t runBytes = uint64_t(run.count) * bytesPerCluster_;
        while (done < size && offset + done < runStart + runBytes) {
            const uint64_t inner = offset + done - runStart;
            const uint32_t want = uint32_t(std::min<uint64_t>({size - done, runBytes - inner, kReadPieceBytes}));
            const uint32_t got = ReadContiguous(ClusterPosition(run.first) + inner, out + done, want);
            done += got;
            if (got < want) return done;
        }
        if (done == size) break;
        runStart += runBytes;
    }
    return done;
}

uint32_t CFileSystem_exFAT::FileRead(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) {
    if (size == 0 || !buffer) return 0;
    try {
        uint8_t* out = static_cast<uint8_t*>(buffer);
        if (object.IsFoundByContent()) return ReadContiguous(object.start + offset, out, size);
        if (fat_.empty() || !object.SizeKnown() || offset >= object.size) return 0;
        const uint32_t wanted = uint32_t(std::min<uint64_t>(size, object.size - offset));
        const bool deleted = object.IsDeleted();
        uint64_t valid = object.size;
        {
            std::lock_guard lock(validMutex_);
            auto it = validLength_.find({object.cluster, object.size, deleted});
            if (it != validLength_.end()) valid = it->second;
        }
        uint32_t delivered = 0;
        if (offset < valid) {
            const uint32_t fromDisk = uint32_t(std::min<uint64_t>(wanted, valid - offset));
            std::lock_guard lock(readMutex_);
            const uint16_t how = uint16_t((object.attributes & kAttrContiguous) | (deleted ? 1 : 0));
            const std::tuple<uint64_t, uint64_t, uint16_t> key{object.cluster, object.size, how};
            if (key != lastKey_) {
                MapData(uint32_t(object.cluster), object.size, object.attributes & kAttrContiguous, deleted, lastRuns_);
                lastKey_ = key;
            }
            delivered = uint32_t(ReadRuns(lastRuns_, out, offset, fromDisk));
            if (delivered < fromDisk) return delivered;
        }
        // Past the valid data length the file holds zeros, whatever the disk has there.
        std::memset(out + delivered, 0, wanted - delivered);
        return wanted;
    } catch (...) {
        EventLog().LogError("CFileSystem_exFAT.FileRead.Except read at: %lld", (long long)offset);
        return 0;
    }
}

std::vector<SectorRun> CFileSystem_exFAT::SectorRuns(const FoundObject& object) {
    if (object.IsFoundByContent()) return ContiguousRuns(*volume_, object);
    std::vector<SectorRun> runs;
    if (fat_.empty() || !object.SizeKnown() || object.size == 0) return runs;
    std::vector<Run> map;
    MapData(uint32_t(object.cluster), object.size, object.attributes & kAttrContiguous, object.IsDeleted(), map);
    const uint64_t perCluster = bytesPerCluster_ / kSectorSize;
    for (const Run& run : map) AppendRun(runs, ClusterPosition(run.first) / kSectorSize, run.count * perCluster);
    TrimRuns(runs, (object.size + kSectorSize - 1) / kSectorSize);
    return runs;
}

}  // namespace vx
