#include "fs/FileSystem_NTFS.h"

#include <algorithm>
#include <cstring>

#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "fs/NtfsLayout.h"
#include "fs/ObjectRuns.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

// The MFT is read in pieces of this size, whole records each.
constexpr uint64_t kMftBatch = 1 << 20;
constexpr uint32_t kMaxClusterSize = 2u << 20;
// Type of a file record found by content (the sector scan's MFT record format).
constexpr int16_t kTypeMftRecord = 24;

bool PowerOfTwo(uint64_t v) { return v && (v & (v - 1)) == 0; }

bool ValidRecordSize(uint64_t size) {
    return PowerOfTwo(size) && size >= ntfs::record::MinSize && size <= ntfs::record::MaxSize;
}

}  // namespace

CFileSystem_NTFS::CFileSystem_NTFS(CVolume* volume) : CFileSystem(volume) {}

// The volume keeps its reader: it owns this analyser and may be destroying it.
CFileSystem_NTFS::~CFileSystem_NTFS() = default;

std::shared_ptr<const CMftRecord> CFileSystem_NTFS::Mft() const {
    std::lock_guard lock(mftMutex_);
    return mft_;
}

uint32_t CFileSystem_NTFS::ReadBytes(uint64_t position, uint32_t count, uint8_t* out) const {
    if (count == 0) return 0;
    const uint64_t first = position / kSectorSize;
    const uint64_t skip = position % kSectorSize;
    const uint64_t sectors = (skip + count + kSectorSize - 1) / kSectorSize;
    if (skip == 0 && count % kSectorSize == 0) return std::min(volume_->ReadSectors(out, first, sectors), count);
    std::vector<uint8_t> buffer(sectors * kSectorSize);
    const uint32_t got = volume_->ReadSectors(buffer.data(), first, sectors);
    if (got <= skip) return 0;
    const uint32_t n = uint32_t(std::min<uint64_t>(count, got - skip));
    std::memcpy(out, buffer.data() + skip, n);
    return n;
}

uint32_t CFileSystem_NTFS::ReadCluster(int64_t cluster, uint8_t* buffer) const {
    uint64_t position;
    if (cluster < 0 || __builtin_mul_overflow(uint64_t(cluster), bytesPerCluster_, &position)) return 0;
    return ReadBytes(position, bytesPerCluster_, buffer);
}

// The geometry comes from the boot sector itself: its bytes per sector may be
// 4096, and cluster sizes above 64 KiB are stored as a negative power of two.
int CFileSystem_NTFS::ReadLayout() {
    volume_->OpenDrive();
    volume_->ParseBootSector();
    ByteSpan boot(volume_->bootBuffer);
    auto isNtfs = [&] { return std::memcmp(boot.data() + 3, "NTFS    ", 8) == 0; };
    if (!isNtfs() && (volume_->ReadBootSector() == 0 || !isNtfs())) return 0;
    const uint32_t bps = le16(boot, ntfs::boot::BytesPerSector);
    bytesPerSector_ = PowerOfTwo(bps) && bps >= 256 && bps <= 4096 ? bps : kSectorSize;
    const uint32_t code = le8(boot, ntfs::boot::SectorsPerCluster);
    uint64_t spc = code <= 0x80 ? code : (256 - code <= 20 ? uint64_t(1) << (256 - code) : 0);
    if (spc == 0) spc = volume_->sectorsPerCluster;
    if (!PowerOfTwo(spc) || spc * bytesPerSector_ > kMaxClusterSize) return 0;
    bytesPerCluster_ = uint32_t(spc * bytesPerSector_);
    totalClusters_ = le64(boot, ntfs::boot::TotalSectors) / spc;
    if (totalClusters_ == 0) totalClusters_ = volume_->totalBytes / bytesPerCluster_;
    // Every cluster's byte position must be a number.
    totalClusters_ = std::min<uint64_t>(totalClusters_, uint64_t(INT64_MAX) / bytesPerCluster_);
    // A volume larger than its source is damaged or cut off: runs within the
    // stated size stay valid and read what exists, but nothing is allocated
    // by the stated size.
    presentClusters_ = totalClusters_;
    if (const uint64_t source = SourceBytes()) {
        const uint64_t present = (source + bytesPerCluster_ - 1) / bytesPerCluster_;
        if (totalClusters_ > present) {
            EventLog().LogError("NTFS volume is larger than its source: %llu clusters stated, %llu present; reading what exists",
                                (unsigned long long)totalClusters_, (unsigned long long)present);
            presentClusters_ = present;
        }
    }
    mftCluster_ = le64(boot, ntfs::boot::MftCluster);
    const int8_t perRecord = int8_t(le8(boot, ntfs::boot::ClustersPerRecord));
    uint64_t size = perRecord < 0 ? (-perRecord < 20 ? uint64_t(1) << -perRecord : 0)
                                  : uint64_t(perRecord) * bytesPerCluster_;
    recordSize_ = ValidRecordSize(size) ? uint32_t(size) : 1024;
    return 1;
}

int CFileSystem_NTFS::LoadMft() {
    if ((totalClusters_ && mftCluster_ >= totalClusters_) || mftCluster_ > UINT64_MAX / bytesPerCluster_) return 0;
    const uint64_t position = mftCluster_ * bytesPerCluster_;
    std::vector<uint8_t> image(recordSize_);
    if (ReadBytes(position, recordSize_, image.data()) != recordSize_) return 0;
    if (le32(image, 0) != ntfs::record::Magic) return 0;
    // Record 0 states the record size the volume really uses.
    const uint32_t allocated = le32(image, ntfs::record::BytesAllocated);
    if (ValidRecordSize(allocated) && allocated != recordSize_) {
        recordSize_ = allocated;
        image.assign(recordSize_, 0);
        if (ReadBytes(position, recordSize_, image.data()) != recordSize_) return 0;
    }
    auto base = std::make_shared<CMftRecord>(this, image, ntfs::kMftRecord);
    if (base->Damaged() || !base->HasData()) return 0;
    {
        std::lock_guard lock(mftMutex_);
        mft_ = base;
    }
    // An MFT in many fragments continues its run list in extension records,
    // which the base runs reach.
    if (base->HasAttributeList()) {
        auto full = std::make_shared<CMftRecord>(*base);
        full->LoadAttributeList();
        std::lock_guard lock(mftMutex_);
        mft_ = full;
    }
    // No more records than the MFT's runs and the volume can hold.
    std::shared_ptr<const CMftRecord> mft = Mft();
    uint64_t count = uint64_t(mft->DataSize()) / recordSize_;
    if (mft->NonResident()) {
        const uint64_t clusters = mft->Runs().empty() ? 0 : mft->Runs().back().lastVcn + 1;
        count = std::min(count, clusters / std::max<uint64_t>(1, recordSize_ / bytesPerCluster_) *
                                    std::max<uint64_t>(1, bytesPerCluster_ / recordSize_));
    }
    if (presentClusters_) count = std::min(count, presentClusters_ * bytesPerCluster_ / recordSize_);
    recordCount_ = std::min<uint64_t>(count, uint64_t(INT32_MAX) + 1);
    return 1;
}

int CFileSystem_NTFS::LoadClusterBitmap() {
    EventLog().LogText("Loading clusters bitmap start");
    std::vector<uint8_t> image(recordSize_);
    if (ReadRecord(ntfs::kBitmapRecord, image.data()) == 0 || le32(image, 0) != ntfs::record::Magic) return 0;
    CMftRecord bitmap(this, image, ntfs::kBitmapRecord);
    if (bitmap.HasAttributeList()) bitmap.LoadAttributeList();
    // One bit per cluster, kept in 8-byte words: a larger size is damage.
    // Without a known cluster count there is no bound to trust: no bitmap.
    uint64_t bytes = presentClusters_ ? std::min<uint64_t>(bitmap.DataSize(), (presentClusters_ + 63) / 64 * 8) : 0;
    bytes = std::min<uint64_t>(bytes, UINT32_MAX);
    volume_->clusterBitmap.SetSize(bytes * 8, false);
    if (bytes) bitmap.ReadData(0, int64_t(bytes), volume_->clusterBitmap.Data());
    EventLog().LogText("Loading clusters bitmap complete");
    return 1;
}

uint32_t CFileSystem_NTFS::ReadRecord(int32_t n, uint8_t* image) const {
    try {
        std::shared_ptr<const CMftRecord> mft = Mft();
        if (!mft || n < 0) return 0;
        const uint32_t got = mft->ReadData(int64_t(n) * recordSize_, recordSize_, image);
        if (got != recordSize_) return 0;
        ByteSpan record(image, recordSize_);
        if (le32(record, ntfs::record::OwnNumber) != uint32_t(n) && le32(record, 0) != ntfs::record::Magic) return 0;
        return got;
    } catch (...) {
        return 0;
    }
}

bool CFileSystem_NTFS::KeepRunning() const { return TheAnalysisState().Running(); }

void CFileSystem_NTFS::SetProgress(uint64_t n) const { TheAnalysisState().progress = n; }

void CFileSystem_NTFS::Report(const FoundObject& object) {
    if (objectSink) {
        objectSink(object);
        return;
    }
    OnFileSystemObject(*volume_, object);
}

bool CFileSystem_NTFS::ProcessRecord(int64_t n, ByteSpan image) {
    if (le32(image, 0) != ntfs::record::Magic) return false;
    if (scratch_->SetImage(image, n) == 0) {
        if (scratch_->Damaged()) ++damaged_;
        return false;
    }
    // Extension records carry no names; their base record reports the file.
    if (le64(scratch_->Image(), ntfs::record::BaseRecord) & ntfs::kRecordReferenceMask) return false;
    FoundObject& t = template_;
    t = FoundObject();
    t.size = kSizeUnknown;
    templateName_.clear();
    t.id = int32_t(n);
    const uint16_t flags = scratch_->HeaderFlags();
    if (!(flags & ntfs::record::FlagInUse)) t.flags |= object_flag::Deleted;
    if (flags & ntfs::record::FlagDirectory) t.flags |= object_flag::Folder;
    // Names, data extents and times that moved into extension records.
    if (scratch_->HasAttributeList()) scratch_->LoadAttributeList();
    if (!scratch_->FillObject(t, templateName_)) return false;
    if (!scratch_->Runs().empty()) t.cluster = uint64_t(std::max<int64_t>(scratch_->Runs().front().cluster, 0));
    t.start = t.cluster * bytesPerCluster_;
    t.name = templateName_.c_str();
    if (t.id == ntfs::kRootRecord) return false;
    // A file with several names (hard links) is listed once per name, each
    // in its own folder; every one reads the record's data. A folder has
    // one name.
    std::vector<CMftRecord::Link> links;
    if (!t.IsFolder()) links = scratch_->Links();
    if (links.size() <= 1) {
        if (t.parent == 0) return false;
        Report(t);
        return true;
    }
    bool reported = false;
    for (const CMftRecord::Link& link : links) {
        if (link.parent == 0) continue;
        t.parent = link.parent;
        t.name = link.name.c_str();
        Report(t);
        reported = true;
    }
    t.name = templateName_.c_str();
    return reported;
}

int CFileSystem_NTFS::ReportRecordImage(ByteSpan image) {
    try {
        if (!scratch_) scratch_ = std::make_unique<CMftRecord>(this);
        if (image.size() < recordSize_) return 0;
        return ProcessRecord(le32(image, ntfs::record::OwnNumber), image.first(recordSize_)) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int CFileSystem_NTFS::ProbeRecords(const FoundObject& at) {
    int reported = 0;
    std::vector<uint8_t> image(recordSize_);
    const uint64_t sectorsPerRecord = recordSize_ / kSectorSize;
    uint64_t sector = at.start / kSectorSize;
    for (int i = 0; i < 10 && (volume_->totalSectors == 0 || sector < volume_->totalSectors); ++i, sector += sectorsPerRecord) {
        if (volume_->ReadSectors(image.data(), sector, sectorsPerRecord) != recordSize_) break;
        if (le32(image, 0) == ntfs::record::Magic) reported += ReportRecordImage(image);
    }
    return reported;
}

int CFileSystem_NTFS::ParseVolume() {
    try {
        damaged_ = 0;
        scratch_.reset();
        {
            std::lock_guard lock(mftMutex_);
            mft_.reset();
        }
        if (!ReadLayout() || !LoadMft()) {
            EventLog().LogError("CFileSystem_NTFS: Load MFT failed.");
            return 0;
        }
        scratch_ = std::make_unique<CMftRecord>(this);
        LoadClusterBitmap();
        EventLog().LogText("Analysing MFT");
        // A stop asked for while the MFT was loading still counts: the
        // running flag is left as the controller set it.
        TheAnalysisState().total = recordCount_;
        std::shared_ptr<const CMftRecord> mft = Mft();
        std::vector<uint8_t> batch(kMftBatch);
        const uint64_t perBatch = kMftBatch / recordSize_;
        for (uint64_t n = 0; n < recordCount_;) {
            // As many whole records as one run of the MFT holds, read at once.
            const uint64_t byte = n * recordSize_;
            const uint64_t vcn = byte / bytesPerCluster_, inner = byte % bytesPerCluster_;
            const int64_t lcn = mft->VcnToLcn(vcn);
            uint64_t records = 0;
            if (lcn >= 0) {
                uint64_t contiguous = 1;
                while (contiguous * bytesPerCluster_ - inner < kMftBatch &&
                       uint64_t(mft->VcnToLcn(vcn + contiguous)) == uint64_t(lcn) + contiguous)
                    ++contiguous;
                records = std::min({(contiguous * bytesPerCluster_ - inner) / recordSize_, perBatch, recordCount_ - n});
            }
            if (records > 0) {
                const uint32_t bytes = uint32_t(records * recordSize_);
                uint64_t at;
                if (__builtin_mul_overflow(uint64_t(lcn), bytesPerCluster_, &at) ||
                    ReadBytes(at + inner, bytes, batch.data()) != bytes)
                    records = 0;
            }
            // A record split between fragments, or a batch that would not read:
            // record by record, so a bad sector costs only its own records.
            const bool single = records == 0;
            if (single) {
                records = 1;
                if (ReadRecord(int32_t(n), batch.data()) == 0) std::memset(batch.data(), 0, recordSize_);
            }
            for (uint64_t i = 0; i < records; ++i, ++n) {
                ProcessRecord(int64_t(n), ByteSpan(batch.data() + i * recordSize_, recordSize_));
                SetProgress(n);
                if (!KeepRunning()) {
                    n = recordCount_;
                    break;
                }
            }
        }
        if (damaged_)
            EventLog().LogError("CFileSystem_NTFS: %llu damaged MFT record(s) skipped.", (unsigned long long)damaged_);
    } catch (...) {
        EventLog().LogError("except in MFT parse circle");
    }
    return 0;
}

uint32_t CFileSystem_NTFS::ReadByContent(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) const {
    const uint64_t position = object.start + offset;
    const uint64_t sectors = size / kSectorSize + (size % kSectorSize ? 1 : 0);
    const uint32_t got = volume_->ReadSectors(buffer, position / kSectorSize, sectors);
    if (got == 0) {
        EventLog().LogError("CFileSystem_NTFS.FileRead: Can't read record at");
        return 0;
    }
    return size % kSectorSize ? std::min(got, size) : got;
}

uint32_t CFileSystem_NTFS::FileRead(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) {
    try {
        if (size == 0) return 0;
        if (object.IsFoundByContent()) return ReadByContent(object, buffer, offset, size);
        std::vector<uint8_t> image(recordSize_);
        if (object.type == kTypeMftRecord && object.start != 0) {
            if (ReadBytes(object.start, recordSize_, image.data()) != recordSize_) {
                EventLog().LogError("CFileSystem_NTFS.FileRead: Can't read record at");
                return 0;
            }
        } else if (ReadRecord(object.id, image.data()) == 0) {
            EventLog().LogError("CFileSystem_NTFS.FileRead: Can't read record");
            return 0;
        }
        const int64_t number = object.type == kTypeMftRecord && object.start != 0 ? -1 : object.id;
        CMftRecord record(this, image, number);
        if (record.Damaged()) {
            EventLog().LogError("CFileSystem_NTFS.FileRead: Can't read record");
            return 0;
        }
        if (record.HasAttributeList()) record.LoadAttributeList();
        return record.ReadData(int64_t(offset), size, static_cast<uint8_t*>(buffer));
    } catch (...) {
        return 0;
    }
}

std::vector<SectorRun> CFileSystem_NTFS::SectorRuns(const FoundObject& object) {
    if (object.IsFoundByContent()) return ContiguousRuns(*volume_, object);
    std::vector<SectorRun> runs;
    std::vector<uint8_t> image(recordSize_);
    const bool byPosition = object.type == kTypeMftRecord && object.start != 0;
    if (byPosition ? ReadBytes(object.start, recordSize_, image.data()) != recordSize_
                   : ReadRecord(object.id, image.data()) == 0)
        return runs;
    CMftRecord record(this, image, byPosition ? -1 : object.id);
    if (record.Damaged() || !record.NonResident()) return runs;
    if (record.HasAttributeList()) record.LoadAttributeList();
    const uint64_t perCluster = bytesPerCluster_ / kSectorSize;
    for (const DataRun& run : record.Runs()) {
        if (run.sparse || run.cluster < 0) continue;
        AppendRun(runs, uint64_t(run.cluster) * perCluster, run.length * perCluster);
    }
    if (record.DataSize() > 0) TrimRuns(runs, (uint64_t(record.DataSize()) + kSectorSize - 1) / kSectorSize);
    return runs;
}

}  // namespace vx
