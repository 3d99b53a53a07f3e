#include "fs/MftRecord.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "common/Text.h"
#include "fs/FileSystem_NTFS.h"
#include "fs/Lznt1.h"
#include "fs/NtfsLayout.h"

namespace vx {

namespace {

constexpr uint32_t kDefaultRecordSize = 1024;
constexpr uint32_t kDefaultClusterSize = 4096;
// A read of plain data goes to the volume in pieces of at most this size.
constexpr uint64_t kReadPiece = 1 << 20;
// Bounds on what a damaged record can make the reader do.
constexpr size_t kMaxExtensionRecords = 4096;
constexpr uint64_t kMaxAttributeList = 1 << 20;
constexpr uint64_t kMaxCompressionUnit = 1 << 20;

uint64_t ReadUnsigned(ByteSpan b, size_t offset, uint32_t width) {
    uint64_t v = 0;
    for (uint32_t i = 0; i < width; ++i) v |= uint64_t(b[offset + i]) << (8 * i);
    return v;
}

bool Overlaps(const DataRun& a, const DataRun& b) { return a.firstVcn <= b.lastVcn && b.firstVcn <= a.lastVcn; }

}  // namespace

bool DecodeRuns(ByteSpan pairs, uint64_t firstVcn, uint64_t totalClusters, std::vector<DataRun>& out) {
    int64_t previous = 0;
    uint64_t vcn = firstVcn;
    size_t p = 0;
    while (p < pairs.size()) {
        const uint8_t header = pairs[p];
        if (header == 0) return true;
        const uint32_t lengthBytes = header & 0x0F, offsetBytes = header >> 4;
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8) return false;
        if (1 + lengthBytes + offsetBytes > pairs.size() - p) return false;
        const uint64_t length = ReadUnsigned(pairs, p + 1, lengthBytes);
        uint64_t raw = ReadUnsigned(pairs, p + 1 + lengthBytes, offsetBytes);
        if (offsetBytes > 0 && offsetBytes < 8 && (raw >> (8 * offsetBytes - 1)) & 1)
            raw |= ~uint64_t(0) << (8 * offsetBytes);
        const int64_t delta = int64_t(raw);
        // A run of no clusters, or one whose VCNs would wrap, is nonsense.
        if (length == 0 || length > (uint64_t(1) << 62) - vcn) return false;
        DataRun run;
        run.length = length;
        // Sparse only without an offset field: an offset of 0 is cluster 0
        // (the first run of $Boot), not a hole.
        run.sparse = offsetBytes == 0 ? 1 : 0;
        run.firstVcn = vcn;
        run.lastVcn = vcn + length - 1;
        if (run.sparse) {
            run.cluster = previous;
        } else {
            int64_t cluster;
            if (__builtin_add_overflow(previous, delta, &cluster) || cluster < 0) return false;
            // Every cluster of the run must be a cluster number, and one the
            // volume has.
            if (length > uint64_t(INT64_MAX) - uint64_t(cluster)) return false;
            if (totalClusters && (uint64_t(cluster) >= totalClusters || length > totalClusters - uint64_t(cluster)))
                return false;
            run.cluster = cluster;
            previous = cluster;
        }
        out.push_back(run);
        vcn += length;
        p += 1 + lengthBytes + offsetBytes;
    }
    return false;
}

void MergeRuns(std::vector<DataRun>& list, const std::vector<DataRun>& other) {
    auto byVcn = [](const DataRun& a, const DataRun& b) { return a.firstVcn < b.firstVcn; };
    if (!std::is_sorted(list.begin(), list.end(), byVcn)) std::sort(list.begin(), list.end(), byVcn);
    for (const DataRun& run : other) {
        auto at = std::lower_bound(list.begin(), list.end(), run, byVcn);
        if (at != list.end() && Overlaps(*at, run)) continue;
        if (at != list.begin() && Overlaps(*(at - 1), run)) continue;
        list.insert(at, run);
    }
}

CMftRecord::CMftRecord(const CFileSystem_NTFS* fs) : fs_(fs) { image_.assign(RecordSize(), 0); }

CMftRecord::CMftRecord(const CFileSystem_NTFS* fs, ByteSpan image, int64_t number) : fs_(fs) {
    SetImage(image, number);
}

uint32_t CMftRecord::RecordSize() const {
    if (fs_) return fs_->RecordSize();
    return standaloneSize_ ? standaloneSize_ : kDefaultRecordSize;
}

uint32_t CMftRecord::BytesPerCluster() const { return fs_ ? fs_->BytesPerCluster() : kDefaultClusterSize; }

int CMftRecord::SetImage(ByteSpan image, int64_t number) {
    // A record used on its own is as large as the image it was given.
    if (!fs_ && image.size() >= 512 && image.size() <= 65536 && (image.size() & (image.size() - 1)) == 0)
        standaloneSize_ = uint32_t(image.size());
    image_.assign(RecordSize(), 0);
    std::memcpy(image_.data(), image.data(), std::min(image.size(), image_.size()));
    number_ = number;
    fixed_ = false;
    return Parse();
}

uint16_t CMftRecord::HeaderFlags() const { return le16(image_, ntfs::record::Flags); }

int CMftRecord::Parse() {
    runs_.clear();
    resident_.clear();
    extraNames_.clear();
    extraTimes_.clear();
    dataSize_ = 0;
    initializedSize_ = 0;
    compressionUnit_ = 0;
    nonResident_ = 0;
    hasData_ = false;
    damaged_ = false;
    if (le32(image_, 0) != ntfs::record::Magic) return 0;
    if (!fixed_) {
        if (!ApplyFixups()) {
            damaged_ = true;
            return 0;
        }
        fixed_ = true;
    }
    if (number_ < 0) number_ = le32(image_, ntfs::record::OwnNumber);
    ParseDataAttribute();
    return 1;
}

// The last word of every 512-byte stride was moved into the update sequence
// array when the record was written, and the sequence number put in its
// place. A stride whose word is not the sequence number was torn or damaged:
// the whole record is refused, and nothing is changed before all are checked.
bool CMftRecord::ApplyFixups() {
    const size_t size = image_.size();
    const uint32_t usa = le16(image_, ntfs::record::UsaOffset);
    const uint32_t count = le16(image_, ntfs::record::UsaCount);
    const size_t strides = size / ntfs::record::FixupStride;
    if (strides == 0 || count != strides + 1) return false;
    if (usa < ntfs::record::UsaCount + 2 || usa % 2 != 0 || usa + 2 * size_t(count) > size) return false;
    const uint16_t sequence = le16(image_, usa);
    for (size_t i = 1; i < count; ++i)
        if (le16(image_, i * ntfs::record::FixupStride - 2) != sequence) return false;
    for (size_t i = 1; i < count; ++i)
        put16(image_.data() + i * ntfs::record::FixupStride - 2, le16(image_, usa + 2 * i));
    return true;
}

namespace {

// Walks the attributes from `a`: the end marker, a length too small to hold
// a header, or one that leaves the image ends the walk.
std::optional<uint32_t> Walk(ByteSpan image, size_t a, uint32_t type) {
    while (a + 8 <= image.size()) {
        const uint32_t t = le32(image, a);
        if (t == ntfs::type::End) return std::nullopt;
        const uint32_t length = le32(image, a + ntfs::attr::Length);
        if (length < 16 || length > image.size() - a) return std::nullopt;
        if (t == type) return uint32_t(a);
        a += length;
    }
    return std::nullopt;
}

}  // namespace

std::optional<uint32_t> CMftRecord::FindAttribute(uint32_t type) const {
    const uint32_t first = le16(image_, ntfs::record::FirstAttribute);
    if (first < ntfs::record::UsaCount + 2) return std::nullopt;
    return Walk(image_, first, type);
}

std::optional<uint32_t> CMftRecord::NextAttribute(uint32_t attribute, uint32_t type) const {
    const uint32_t length = le32(image_, attribute + ntfs::attr::Length);
    if (length < 16 || length > image_.size() - std::min<size_t>(attribute, image_.size())) return std::nullopt;
    return Walk(image_, size_t(attribute) + length, type);
}

ByteSpan CMftRecord::AttributeSpan(uint32_t a) const {
    return ByteSpan(image_).subspan(a, le32(image_, a + ntfs::attr::Length));
}

ByteSpan CMftRecord::ResidentValue(uint32_t a) const {
    ByteSpan attribute = AttributeSpan(a);
    if (le8(attribute, ntfs::attr::NonResident) != 0) return {};
    const uint32_t length = le32(attribute, ntfs::attr::ValueLength);
    const uint32_t offset = le16(attribute, ntfs::attr::ValueOffset);
    if (offset < ntfs::attr::ResidentHeaderSize || !InRange(attribute, offset, length)) return {};
    return attribute.subspan(offset, length);
}

bool CMftRecord::HasAttributeList() const { return FindAttribute(ntfs::type::AttributeList).has_value(); }

bool CMftRecord::HasFileName() const {
    return FindAttribute(ntfs::type::FileName).has_value() || !extraNames_.empty();
}

void CMftRecord::ParseDataAttribute() {
    bool unnamed = false;
    for (auto a = FindAttribute(ntfs::type::Data); a; a = NextAttribute(*a, ntfs::type::Data)) {
        if (le8(image_, *a + ntfs::attr::NameLength) != 0) continue;
        TakeDataExtent(*this, *a);
        unnamed = true;
    }
    // A record with only named streams reads its first one, unless the
    // unnamed stream may still be in extension records.
    if (!unnamed && !HasAttributeList())
        if (auto a = FindAttribute(ntfs::type::Data)) TakeDataExtent(*this, *a);
}

void CMftRecord::TakeDataExtent(const CMftRecord& owner, uint32_t a) {
    ByteSpan attribute = owner.AttributeSpan(a);
    if (le8(attribute, ntfs::attr::NonResident) == 0) {
        if (hasData_ || attribute.size() < ntfs::attr::ResidentHeaderSize) return;
        ByteSpan value = owner.ResidentValue(a);
        if (value.empty() && le32(attribute, ntfs::attr::ValueLength) != 0) return;
        resident_.assign(value.begin(), value.end());
        dataSize_ = int64_t(value.size());
        initializedSize_ = dataSize_;
        nonResident_ = 0;
        hasData_ = true;
        return;
    }
    if (attribute.size() < ntfs::attr::NonResidentHeaderSize) return;
    const uint64_t lowestVcn = le64(attribute, ntfs::attr::LowestVcn);
    const uint32_t pairs = le16(attribute, ntfs::attr::MappingPairs);
    if (pairs < ntfs::attr::NonResidentHeaderSize || pairs >= attribute.size()) return;
    if (lowestVcn == 0 && hasData_) return;  // a second start of the same stream
    std::vector<DataRun> runs;
    DecodeRuns(attribute.subspan(pairs), lowestVcn, fs_ ? fs_->TotalClusters() : 0, runs);
    if (lowestVcn == 0) {
        const int64_t size = int64_t(le64(attribute, ntfs::attr::DataSize));
        const int64_t initialized = int64_t(le64(attribute, ntfs::attr::InitializedSize));
        dataSize_ = std::max<int64_t>(size, 0);
        initializedSize_ = std::clamp<int64_t>(initialized, 0, dataSize_);
        const uint32_t unitLog = le8(attribute, ntfs::attr::CompressionUnit);
        // Compressed without a sane unit: no way to tell its bytes, none are read.
        if (le16(attribute, ntfs::attr::Flags) & ntfs::attr::FlagCompressionMask)
            compressionUnit_ = unitLog > 0 && unitLog < 16 ? 1u << unitLog : 1u << 31;
        nonResident_ = 1;
        hasData_ = true;
    }
    MergeRuns(runs_, runs);
}

bool CMftRecord::ReadAttributeListValue(uint32_t a, std::vector<uint8_t>& out) const {
    ByteSpan attribute = AttributeSpan(a);
    if (le8(attribute, ntfs::attr::NonResident) == 0) {
        ByteSpan value = ResidentValue(a);
        out.assign(value.begin(), value.end());
        return !out.empty();
    }
    // A long list lives in clusters of its own.
    const uint64_t size = le64(attribute, ntfs::attr::DataSize);
    const uint32_t pairs = le16(attribute, ntfs::attr::MappingPairs);
    if (!fs_ || size == 0 || size > kMaxAttributeList || pairs >= attribute.size()) return false;
    CMftRecord list(fs_);
    DecodeRuns(attribute.subspan(pairs), 0, fs_->TotalClusters(), list.runs_);
    list.dataSize_ = int64_t(size);
    list.initializedSize_ = std::clamp<int64_t>(int64_t(le64(attribute, ntfs::attr::InitializedSize)), 0, list.dataSize_);
    list.nonResident_ = 1;
    out.resize(size);
    out.resize(list.ReadData(0, int64_t(size), out.data()));
    return !out.empty();
}

void CMftRecord::LoadAttributeList() {
    if (!fs_ || number_ < 0) return;
    const uint32_t recordSize = RecordSize();
    std::set<uint64_t> loaded;
    std::vector<uint8_t> list, image(recordSize);
    const bool hadTimes = FindAttribute(ntfs::type::StandardInformation).has_value();
    for (auto a = FindAttribute(ntfs::type::AttributeList); a; a = NextAttribute(*a, ntfs::type::AttributeList)) {
        if (!ReadAttributeListValue(*a, list)) continue;
        for (size_t e = 0; e + ntfs::listentry::MinLength <= list.size();) {
            const uint32_t length = le16(list, e + ntfs::listentry::Length);
            if (length < ntfs::listentry::MinLength || length > list.size() - e) break;
            const uint32_t type = le32(list, e);
            const uint64_t record = le64(list, e + ntfs::listentry::Record) & ntfs::kRecordReferenceMask;
            e += length;
            if (type != ntfs::type::Data && type != ntfs::type::FileName && type != ntfs::type::StandardInformation)
                continue;
            // An entry for this very record names an attribute parsed already.
            if (record == uint64_t(number_) || record > INT32_MAX) continue;
            if (loaded.size() >= kMaxExtensionRecords || !loaded.insert(record).second) continue;
            if (fs_->ReadRecord(int32_t(record), image.data()) != recordSize) continue;
            CMftRecord extension(fs_, image, int64_t(record));
            // A record reused by another file since no longer extends this one.
            if (extension.Damaged() || le32(extension.image_, 0) != ntfs::record::Magic) continue;
            if ((le64(extension.image_, ntfs::record::BaseRecord) & ntfs::kRecordReferenceMask) != uint64_t(number_))
                continue;
            TakeExtension(extension, hadTimes);
        }
    }
}

void CMftRecord::TakeExtension(const CMftRecord& extension, bool hadTimes) {
    for (auto b = extension.FindAttribute(ntfs::type::Data); b; b = extension.NextAttribute(*b, ntfs::type::Data))
        if (le8(extension.image_, *b + ntfs::attr::NameLength) == 0) TakeDataExtent(extension, *b);
    for (auto b = extension.FindAttribute(ntfs::type::FileName); b; b = extension.NextAttribute(*b, ntfs::type::FileName)) {
        ByteSpan value = extension.ResidentValue(*b);
        if (!value.empty()) extraNames_.emplace_back(value.begin(), value.end());
    }
    if (!hadTimes && extraTimes_.empty())
        if (auto b = extension.FindAttribute(ntfs::type::StandardInformation)) {
            ByteSpan value = extension.ResidentValue(*b);
            extraTimes_.assign(value.begin(), value.end());
        }
}

const DataRun* CMftRecord::RunAt(uint64_t vcn) const {
    auto at = std::upper_bound(runs_.begin(), runs_.end(), vcn,
                               [](uint64_t v, const DataRun& r) { return v < r.firstVcn; });
    if (at == runs_.begin()) return nullptr;
    const DataRun& run = *(at - 1);
    return vcn <= run.lastVcn ? &run : nullptr;
}

int64_t CMftRecord::VcnToLcn(uint64_t vcn) const {
    const DataRun* run = RunAt(vcn);
    if (!run || run->sparse || run->cluster < 0) return -1;
    uint64_t lcn;
    if (__builtin_add_overflow(uint64_t(run->cluster), vcn - run->firstVcn, &lcn) || lcn > uint64_t(INT64_MAX))
        return -1;
    return int64_t(lcn);
}

uint32_t CMftRecord::ReadData(int64_t offset, int64_t count, uint8_t* out) const {
    if (offset < 0 || count <= 0 || offset >= dataSize_) return 0;
    uint64_t n = uint64_t(std::min(count, dataSize_ - offset));
    n = std::min<uint64_t>(n, UINT32_MAX);
    if (!nonResident_) {
        const uint64_t held = resident_.size() > uint64_t(offset) ? resident_.size() - uint64_t(offset) : 0;
        n = std::min(n, held);
        if (n) std::memcpy(out, resident_.data() + offset, n);
        return uint32_t(n);
    }
    if (!fs_) return 0;
    uint32_t got = compressionUnit_ ? ReadCompressed(uint64_t(offset), n, out) : ReadPlain(uint64_t(offset), n, out);
    // What lies past the initialized size was never written: it reads as zeros.
    const uint64_t end = uint64_t(offset) + got;
    if (end > uint64_t(initializedSize_)) {
        const uint64_t from = std::max<uint64_t>(uint64_t(initializedSize_), uint64_t(offset));
        std::memset(out + (from - uint64_t(offset)), 0, end - from);
    }
    return got;
}

uint32_t CMftRecord::ReadPlain(uint64_t offset, uint64_t count, uint8_t* out) const {
    const uint64_t bpc = BytesPerCluster();
    uint64_t done = 0;
    while (done < count) {
        const uint64_t position = offset + done;
        const uint64_t vcn = position / bpc, inner = position % bpc;
        const DataRun* run = RunAt(vcn);
        if (!run) break;
        const uint64_t clustersLeft = run->lastVcn - vcn + 1;
        uint64_t take = std::min(count - done, kReadPiece);
        if (clustersLeft <= take / bpc + 1) take = std::min(take, clustersLeft * bpc - inner);
        if (position >= uint64_t(initializedSize_) || run->sparse) {
            std::memset(out + done, 0, take);
            done += take;
            continue;
        }
        const int64_t lcn = VcnToLcn(vcn);
        uint64_t at;
        if (lcn < 0 || __builtin_mul_overflow(uint64_t(lcn), bpc, &at) || __builtin_add_overflow(at, inner, &at)) break;
        const uint32_t got = fs_->ReadBytes(at, uint32_t(take), out + done);
        done += got;
        if (got < take) break;
    }
    return uint32_t(done);
}

// One compression unit: all its clusters stored means it is stored plain; no
// cluster stored means zeros; otherwise its stored clusters hold LZNT1 data.
bool CMftRecord::ReadUnit(uint64_t unit, std::vector<uint8_t>& raw, std::vector<uint8_t>& out) const {
    const uint64_t bpc = BytesPerCluster();
    const uint64_t first = unit * compressionUnit_, end = first + compressionUnit_;
    raw.clear();
    bool touched = false, holes = false;
    for (uint64_t vcn = first; vcn < end;) {
        const DataRun* run = RunAt(vcn);
        if (!run) {
            ++vcn;
            continue;
        }
        touched = true;
        const uint64_t stop = std::min(run->lastVcn + 1, end);
        if (run->sparse) {
            holes = true;
        } else {
            const size_t at = raw.size();
            const uint64_t bytes = (stop - vcn) * bpc;
            raw.resize(at + bytes);
            const int64_t lcn = VcnToLcn(vcn);
            uint64_t position;
            if (lcn < 0 || __builtin_mul_overflow(uint64_t(lcn), bpc, &position)) return false;
            if (fs_->ReadBytes(position, uint32_t(bytes), raw.data() + at) != bytes) return false;
        }
        vcn = stop;
    }
    std::fill(out.begin(), out.end(), 0);
    if (!touched) return false;
    if (raw.empty()) return true;
    if (raw.size() == out.size()) {
        std::memcpy(out.data(), raw.data(), raw.size());
        return true;
    }
    if (Lznt1Decompress(raw, out.data(), out.size()) >= 0) return true;
    if (holes) return false;
    // Clusters missing from the run list, none marked empty: plain data cut short.
    std::memcpy(out.data(), raw.data(), std::min(raw.size(), out.size()));
    return true;
}

uint32_t CMftRecord::ReadCompressed(uint64_t offset, uint64_t count, uint8_t* out) const {
    const uint64_t unitBytes = uint64_t(compressionUnit_) * BytesPerCluster();
    if (unitBytes > kMaxCompressionUnit) return 0;
    std::vector<uint8_t> raw, unit(unitBytes);
    uint64_t done = 0;
    while (done < count) {
        const uint64_t position = offset + done;
        if (!ReadUnit(position / unitBytes, raw, unit)) break;
        const uint64_t inner = position % unitBytes;
        const uint64_t take = std::min(count - done, unitBytes - inner);
        std::memcpy(out + done, unit.data() + inner, take);
        done += take;
    }
    return uint32_t(done);
}

std::vector<CMftRecord::Link> CMftRecord::Links() const {
    std::vector<ByteSpan> values;
    for (auto a = FindAttribute(ntfs::type::FileName); a; a = NextAttribute(*a, ntfs::type::FileName))
        values.push_back(ResidentValue(*a));
    for (const auto& value : extraNames_) values.emplace_back(value);
    std::vector<Link> links, dos;
    for (ByteSpan v : values) {
        if (v.size() < ntfs::filename::Name) continue;
        const uint32_t length = le8(v, ntfs::filename::NameLength);
        if (length == 0 || !InRange(v, ntfs::filename::Name, 2 * size_t(length))) continue;
        Link link;
        link.parent = int32_t(uint32_t(le64(v, ntfs::filename::Parent)));
        link.name = Utf16LeToUtf8(v.subspan(ntfs::filename::Name, 2 * size_t(length)));
        const bool isDos = le8(v, ntfs::filename::NameSpace) == ntfs::filename::SpaceDos;
        std::vector<Link>& into = isDos ? dos : links;
        bool seen = false;
        for (const Link& l : into) seen = seen || (l.parent == link.parent && l.name == link.name);
        if (!seen) into.push_back(std::move(link));
    }
    // A DOS name is the short alias of a long name in the same folder.
    for (Link& d : dos) {
        bool alias = false;
        for (const Link& l : links) alias = alias || l.parent == d.parent;
        if (!alias) links.push_back(std::move(d));
    }
    return links;
}

int CMftRecord::FillObject(FoundObject& t, std::string& name) const {
    try {
        ByteSpan times = extraTimes_;
        if (auto a = FindAttribute(ntfs::type::StandardInformation)) times = ResidentValue(*a);
        if (times.size() >= ntfs::stdinfo::MinLength) {
            t.created = le64(times, ntfs::stdinfo::Created);
            t.modified = le64(times, ntfs::stdinfo::Modified);
            t.accessed = le64(times, ntfs::stdinfo::Accessed);
        }
        std::vector<ByteSpan> names;
        for (auto a = FindAttribute(ntfs::type::FileName); a; a = NextAttribute(*a, ntfs::type::FileName))
            names.push_back(ResidentValue(*a));
        for (const auto& value : extraNames_) names.emplace_back(value);
        bool first = true, named = false;
        uint8_t nameSpace = 0;
        for (ByteSpan v : names) {
            if (v.size() < ntfs::filename::Name) continue;
            const int32_t parent = int32_t(uint32_t(le64(v, ntfs::filename::Parent)));
            if (first) {
                t.parent = parent;
                t.size = le64(v, ntfs::filename::RealSize);
                first = false;
            }
            const uint32_t length = le8(v, ntfs::filename::NameLength);
            const uint8_t space = le8(v, ntfs::filename::NameSpace);
            if (length == 0 || !InRange(v, ntfs::filename::Name, 2 * size_t(length))) continue;
            // The first name, replaced by a Win32 one, and a DOS 8.3 name by any other.
            const bool take = !named || space == ntfs::filename::SpaceWin32 ||
                              (nameSpace == ntfs::filename::SpaceDos && space != ntfs::filename::SpaceDos);
            if (!take) continue;
            name = Utf16LeToUtf8(v.subspan(ntfs::filename::Name, 2 * size_t(length)));
            t.parent = parent;  // the folder this name lives in
            nameSpace = space;
            named = true;
            t.flags |= object_flag::NameAssigned;
        }
        // The data attribute knows the size; the name's copy is often stale.
        if (hasData_ || first) t.size = uint64_t(dataSize_);
        return 1;
    } catch (...) {
        return 0;
    }
}

}  // namespace vx
