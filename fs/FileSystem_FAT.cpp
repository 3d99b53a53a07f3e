// CFileSystem_FAT: parameters, the allocation table, cluster chains and the
// reads of found objects. The directory walk is in FatDirectory.cpp.
#include "fs/FileSystem_FAT.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "device/BootSectorLayout.h"
#include "device/Volume.h"
#include "fs/AnalysisState.h"
#include "fs/FatLayout.h"
#include "fs/ObjectRuns.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

constexpr uint64_t kMaxFatBytes = 1ull << 30;       // 0x0FFFFFF7 FAT32 entries take just under 1 GiB
constexpr uint64_t kReadPieceBytes = 1u << 20;      // one ReadSectors call at most

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

}  // namespace

CFileSystem_FAT::CFileSystem_FAT(CVolume* volume) : CFileSystem(volume) {}

CFileSystem_FAT::~CFileSystem_FAT() = default;

int CFileSystem_FAT::SetupParameters() {
    ByteSpan b(volume_->bootBuffer.data(), kSectorSize);
    const uint32_t bytesPerSector = le16(b, boot::kBytesPerSector);
    sectorsPerCluster_ = le8(b, boot::kSectorsPerCluster);
    rootEntryCount_ = le16(b, boot::kRootEntries);
    numberOfFats_ = le8(b, boot::kNumberOfFats);
    reservedSectors_ = le16(b, boot::kReservedSectors);
    sectorsPerFat_ = family_ == Family::Fat32 ? le32(b, boot::kSectorsPerFat32) : le16(b, boot::kSectorsPerFat16);

    if (bytesPerSector < 512 || bytesPerSector > 4096 || !IsPowerOfTwo(bytesPerSector)) {
        EventLog().LogError("FAT boot sector: %u bytes per sector is not supported", bytesPerSector);
        return 0;
    }
    if (!IsPowerOfTwo(sectorsPerCluster_)) {
        EventLog().LogError("FAT boot sector: %u sectors per cluster is not valid", sectorsPerCluster_);
        return 0;
    }
    if (numberOfFats_ == 0 || sectorsPerFat_ == 0 || reservedSectors_ == 0) {
        EventLog().LogError("FAT boot sector: no allocation table (%u FATs of %u sectors after %u reserved)",
                            numberOfFats_, sectorsPerFat_, reservedSectors_);
        return 0;
    }
    sectorScale_ = bytesPerSector / kSectorSize;
    bytesPerCluster_ = bytesPerSector * sectorsPerCluster_;
    volume_->bytesPerSector = bytesPerSector;
    volume_->sectorsPerCluster = sectorsPerCluster_;
    volume_->bytesPerCluster = bytesPerCluster_;

    // The volume ends where the parameter block says, or where the source
    // ends when that comes first.
    uint64_t total = le16(b, boot::kSmallSectors);
    if (total == 0) total = le32(b, boot::kLargeSectors);
    volumeSectors_ = total * sectorScale_;
    const uint64_t sourceSectors = SourceBytes() / kSectorSize;
    if (volumeSectors_ != 0 && sourceSectors != 0 && sourceSectors < volumeSectors_)
        EventLog().LogError("FAT volume is larger than its source: %llu sectors stated, %llu present; reading what exists",
                            (unsigned long long)volumeSectors_, (unsigned long long)sourceSectors);
    if (volumeSectors_ == 0 || (sourceSectors != 0 && sourceSectors < volumeSectors_)) volumeSectors_ = sourceSectors;

    const uint64_t fatBytes = uint64_t(sectorsPerFat_) * bytesPerSector;
    const uint64_t fatEnd = (uint64_t(reservedSectors_) + sectorsPerFat_) * sectorScale_;
    if (fatBytes > kMaxFatBytes || fatEnd > volumeSectors_) {
        EventLog().LogError("FAT boot sector: the FAT (%llu bytes at sector %u) does not fit in the volume (%llu sectors)",
                            (unsigned long long)fatBytes, reservedSectors_, (unsigned long long)volumeSectors_);
        return 0;
    }
    fatSize_ = uint32_t(fatBytes);
    rootDirectorySector_ = reservedSectors_ + numberOfFats_ * sectorsPerFat_;
    if (family_ == Family::Fat32) rootCluster_ = le32(b, boot::kRootCluster);
    // Root directory sectors rounded up, as every FAT implementation counts them.
    const uint64_t rootSectors = (uint64_t(rootEntryCount_) * fat::kEntrySize + bytesPerSector - 1) / bytesPerSector;
    firstDataSector_ = (uint64_t(rootDirectorySector_) + rootSectors) * sectorScale_;
    if (uint64_t(rootDirectorySector_) * sectorScale_ >= volumeSectors_ || firstDataSector_ > volumeSectors_) {
        EventLog().LogError("FAT boot sector: the root directory (sector %u) lies beyond the end of the volume",
                            rootDirectorySector_);
        return 0;
    }

    switch (family_) {
        case Family::Fat12: entryCount_ = uint32_t(uint64_t(fatSize_) * 2 / 3); break;
        case Family::Fat16: entryCount_ = fatSize_ / 2; break;
        default: entryCount_ = fatSize_ / 4; break;
    }
    const uint64_t dataClusters = (volumeSectors_ - firstDataSector_) / (uint64_t(sectorsPerCluster_) * sectorScale_);
    clusterLimit_ = uint32_t(std::min<uint64_t>(entryCount_, dataClusters + 2));
    return 1;
}

int CFileSystem_FAT::LoadFat() {
    try {
        fat_.assign(fatSize_, 0);
    } catch (const std::bad_alloc&) {
        EventLog().LogError("Can't allocate memory!");
        return 0;
    }
    const uint64_t first = uint64_t(reservedSectors_) * sectorScale_;
    const uint64_t sectors = fatSize_ / kSectorSize;
    const uint64_t piece = kReadPieceBytes / kSectorSize;
    uint64_t unreadable = 0;
    for (uint64_t done = 0; done < sectors; done += piece) {
        const uint64_t count = std::min(piece, sectors - done);
        if (volume_->ReadSectors(fat_.data() + done * kSectorSize, first + done, count) != 0) continue;
        // One bad sector must not blank a whole piece of the table: read the
        // piece again sector by sector; what cannot be read stays free.
        for (uint64_t k = 0; k < count && TheAnalysisState().Running(); ++k)
            if (volume_->ReadSectors(fat_.data() + (done + k) * kSectorSize, first + done + k, 1) == 0) ++unreadable;
    }
    if (unreadable)
        EventLog().LogError("CFileSystem_FAT: %llu FAT sector(s) not readed, their clusters are taken as free",
                            (unsigned long long)unreadable);
    return 1;
}

void CFileSystem_FAT::FillClusterBitmap() {
    CBitArray& bitmap = volume_->clusterBitmap;
    bitmap.SetSize(entryCount_, false);
    for (uint32_t i = 0; i < entryCount_; ++i)
        if (FatEntry(i) != 0) bitmap.Set(i, true);
}

uint32_t CFileSystem_FAT::FatEntry(uint32_t i) const {
    ByteSpan f(fat_);
    switch (family_) {
        case Family::Fat12: {
            const uint32_t v = le16(f, size_t(i) * 3 / 2);
            return (i & 1) ? v >> 4 : v & 0x0FFF;
        }
        case Family::Fat16: return le16(f, size_t(i) * 2);
        case Family::Fat32: return le32(f, size_t(i) * 4) & 0x0FFFFFFF;
        default: return 0;
    }
}

bool CFileSystem_FAT::IsEndOfChain(uint32_t v) const {
    switch (family_) {
        case Family::Fat12: return v >= 0xFF8;
        case Family::Fat16: return v >= 0xFFF8;
        default: return v >= 0x0FFFFFF8;
    }
}

size_t CFileSystem_FAT::ClusterChain(uint32_t first, std::vector<uint32_t>& out, size_t limit,
                                     bool checkRunning) const {
    out.clear();
    std::lock_guard lock(chainMutex_);
    if (chainMarks_.size() * 64 < entryCount_) chainMarks_.assign((size_t(entryCount_) + 63) / 64, 0);
    uint32_t c = first;
    while (out.size() < limit && c != 0 && !IsEndOfChain(c) && c < entryCount_) {
        if (checkRunning && !TheAnalysisState().Running()) break;
        uint64_t& word = chainMarks_[c / 64];
        const uint64_t bit = 1ull << (c % 64);
        if (word & bit) break;  // a loop in the FAT
        word |= bit;
        out.push_back(c);
        c = FatEntry(c);
    }
    for (uint32_t v : out) chainMarks_[v / 64] &= ~(1ull << (v % 64));
    return out.size();
}

uint64_t CFileSystem_FAT::ClusterToSector(uint32_t c) const {
    return uint64_t(c - 2) * sectorsPerCluster_ * sectorScale_ + firstDataSector_;
}

bool CFileSystem_FAT::FreeSectorRuns(std::vector<SectorRun>& out) const {
    out.clear();
    const CBitArray& bitmap = volume_->clusterBitmap;
    if (bitmap.Bits() == 0) return false;
    const uint64_t perCluster = uint64_t(sectorsPerCluster_) * sectorScale_;
    for (uint32_t c = 2; c < clusterLimit_; ++c)
        if (!bitmap.Get(c)) AppendRun(out, ClusterToSector(c), perCluster);
    return true;
}

uint64_t CFileSystem_FAT::ClusterPosition(uint32_t c) const { return ClusterToSector(c) * kSectorSize; }

uint32_t CFileSystem_FAT::ReadCluster(uint8_t* buffer, uint32_t c) {
    if (c < 2 || c >= clusterLimit_) return 0;
    return volume_->ReadSectors(buffer, ClusterToSector(c), uint64_t(sectorsPerCluster_) * sectorScale_);
}

uint32_t CFileSystem_FAT::ClustersFor(uint64_t bytes) const {
    return uint32_t(std::min<uint64_t>((bytes + bytesPerCluster_ - 1) / bytesPerCluster_, entryCount_));
}

// Where an object's data lies. A live file follows its chain in the FAT. A
// deleted file's chain is gone: its data is taken from its first cluster on,
// cluster by cluster, leaving out every cluster the FAT shows in use, since
// those belong to files that still exist.
void CFileSystem_FAT::MapObjectData(const FoundObject& object, DataMap& map) const {
    map.runs.clear();
    map.bytes = 0;
    const uint32_t first = uint32_t(object.cluster ? object.cluster : uint64_t(uint32_t(object.id)));
    if (first < 2 || first >= clusterLimit_ || bytesPerCluster_ == 0) return;
    const bool sized = object.SizeKnown() && object.size != 0;
    const uint32_t directoryLimit = uint32_t(kMaxDirectoryBytes / bytesPerCluster_);
    auto add = [&](uint32_t c) {
        if (!map.runs.empty() && map.runs.back().first + map.runs.back().count == c) ++map.runs.back().count;
        else map.runs.push_back(Run{c, 1});
        map.bytes += bytesPerCluster_;
    };
    if (!object.IsDeleted() && FatEntry(first) != 0) {
        std::vector<uint32_t> chain;
        ClusterChain(first, chain, sized ? ClustersFor(object.size) : directoryLimit, false);
        for (uint32_t c : chain)
            if (c < clusterLimit_) add(c);
            else break;
        return;
    }
    const uint32_t want = sized ? ClustersFor(object.size) : 1;
    uint32_t taken = 0;
    for (uint32_t c = first; c < clusterLimit_ && taken < want; ++c) {
        if (c != first && FatEntry(c) != 0) continue;
        add(c);
        ++taken;
    }
}

uint32_t CFileSystem_FAT::ReadContiguous(uint64_t position, uint8_t* out, uint32_t size) {
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
            EventLog().LogError("CFileSystem_FAT.FileRead: Can't read sector at: %lld", (long long)sector);
            return done;
        }
        const uint32_t useful = got > skip ? std::min(got - skip, want) : 0;
        std::memcpy(out + done, piece.data() + skip, useful);
        done += useful;
        if (useful < want) break;  // the source ends here
    }
    return done;
}

uint32_t CFileSystem_FAT::ReadRuns(const DataMap& map, uint8_t* out, uint64_t offset, uint32_t size) {
    uint32_t done = 0;
    uint64_t runStart = 0;
    for (const Run& run : map.runs) {
        const uint64_t runBytes = uint64_t(run.count) * bytesPerCluster_;
        const uint64_t at = offset + done;
        if (at < runStart + runBytes) {
            const uint64_t inner = at - runStart;
            const uint32_t want = uint32_t(std::min<uint64_t>(size - done, runBytes - inner));
            const uint32_t got = ReadContiguous(ClusterPosition(run.first) + inner, out + done, want);
            done += got;
            if (got < want || done == size) return done;
        }
        runStart += runBytes;
    }
    return done;
}

uint32_t CFileSystem_FAT::FileRead(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) {
    if (size == 0 || !buffer) return 0;
    try {
        uint8_t* out = static_cast<uint8_t*>(buffer);
        if (object.IsFoundByContent()) return ReadContiguous(object.start + offset, out, size);
        if (fat_.empty()) return 0;
        std::lock_guard lock(readMutex_);
        const uint64_t key[3] = {object.cluster ? object.cluster : uint64_t(uint32_t(object.id)), object.size,
                                 uint64_t(object.flags & object_flag::Deleted)};
        if (!std::equal(key, key + 3, lastMap_.key)) {
            MapObjectData(object, lastMap_);
            std::copy(key, key + 3, lastMap_.key);
        }
        if (offset >= lastMap_.bytes) return 0;
        return ReadRuns(lastMap_, out, offset, size);
    } catch (...) {
        EventLog().LogError("CFileSystem_FAT.FileRead.Except read at: %lld", (long long)offset);
        return 0;
    }
}

std::vector<SectorRun> CFileSystem_FAT::SectorRuns(const FoundObject& object) {
    if (object.IsFoundByContent()) return ContiguousRuns(*volume_, object);
    std::vector<SectorRun> runs;
    if (fat_.empty()) return runs;
    DataMap map;
    MapObjectData(object, map);
    const uint64_t perCluster = bytesPerCluster_ / kSectorSize;
    for (const Run& run : map.runs) AppendRun(runs, ClusterPosition(run.first) / kSectorSize, run.count * perCluster);
    if (object.SizeKnown() && object.size != 0) TrimRuns(runs, (object.size + kSectorSize - 1) / kSectorSize);
    return runs;
}

}  // namespace vx
