// CFileSystem_exFAT: the directory walk. The root directory first, then
// every folder met, live or deleted, breadth-first. Each file entry set
// (file, stream extension, file names) becomes one found object; the whole
// of every directory is read, so deleted sets anywhere in it are found.
#include <algorithm>
#include <cstring>

#include "common/Text.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "fs/ExFatLayout.h"
#include "fs/FileSystem_exFAT.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

bool Running() { return TheAnalysisState().Running(); }

uint8_t TypeCode(uint8_t type) { return uint8_t(type & ~exfat::kTypeInUse); }

}  // namespace

size_t CFileSystem_exFAT::ParseEntrySet(ByteSpan entries, size_t index, int32_t parent) {
    const size_t count = entries.size() / exfat::kEntrySize;
    ByteSpan file = entries.subspan(index * exfat::kEntrySize, exfat::kEntrySize);
    const uint8_t type = le8(file, exfat::kEntryType);
    if (TypeCode(type) != TypeCode(exfat::kTypeFile)) return 1;
    const bool deleted = !(type & exfat::kTypeInUse);
    const uint32_t secondaries = le8(file, exfat::kSecondaryCount);
    if (secondaries < exfat::kMinSecondaryCount || secondaries > exfat::kMaxSecondaryCount ||
        index + 1 + secondaries > count)
        return 1;

    // The stream extension comes first, then the names; every entry of a set
    // is live, or every one deleted. A set cut short by a later set that took
    // its slots keeps the entries before the break.
    size_t used = 1;
    for (; used <= secondaries; ++used) {
        const uint8_t t = le8(entries, (index + used) * exfat::kEntrySize);
        if (bool(t & exfat::kTypeInUse) == deleted || !(t & 0x40)) break;
    }
    if (used < 3) return 1;
    ByteSpan stream = entries.subspan((index + 1) * exfat::kEntrySize, exfat::kEntrySize);
    if (TypeCode(le8(stream, exfat::kEntryType)) != TypeCode(exfat::kTypeStreamExtension)) return 1;

    ByteSpan set = entries.subspan(index * exfat::kEntrySize, (1 + secondaries) * exfat::kEntrySize);
    const bool checksumOk = used == 1 + secondaries && SetChecksum(set, deleted) == le16(file, exfat::kSetChecksum);
    if (!checksumOk) {
        ++badChecksumSets_;
        EventLog().LogError("exFAT entry set %zu of folder %d has a bad checksum; what is sane in it is used", index,
                            int(parent));
    }

    const uint32_t nameLength = le8(stream, exfat::kNameLength);
    std::vector<uint8_t> utf16;
    for (size_t k = 2; k < used && utf16.size() < size_t(nameLength) * 2; ++k) {
        ByteSpan e = entries.subspan((index + k) * exfat::kEntrySize, exfat::kEntrySize);
        if (TypeCode(le8(e, exfat::kEntryType)) != TypeCode(exfat::kTypeFileName)) break;
        const size_t chars = std::min<size_t>(exfat::kFileNameChars, nameLength - utf16.size() / 2);
        utf16.insert(utf16.end(), e.begin() + exfat::kFileNameText, e.begin() + exfat::kFileNameText + chars * 2);
    }
    std::string name = Utf16LeToUtf8(ByteSpan(utf16));
    // A name never carries a path separator or an end mark into the views.
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\0', '_');
    if (name.empty()) return used;

    const uint16_t attributes = le16(file, exfat::kFileAttributes);
    const bool folder = attributes & exfat::kAttrDirectory;
    const uint8_t flags = le8(stream, exfat::kStreamFlags);
    const bool contiguous = flags & exfat::kFlagNoFatChain;
    const uint32_t first = le32(stream, exfat::kStreamFirstCluster);
    const uint64_t heapBytes = uint64_t(clusterCount_) * bytesPerCluster_;
    uint64_t length = le64(stream, exfat::kDataLength);
    uint64_t valid = le64(stream, exfat::kValidDataLength);
    const bool inHeap = first >= exfat::kFirstCluster && first - exfat::kFirstCluster < clusterCount_;
    if (length != 0 && !inHeap) return used;  // its data lies nowhere that can be read
    if (length > heapBytes) {
        EventLog().LogError("exFAT entry \"%s\": a length of %llu bytes is more than the volume holds", name.c_str(),
                            (unsigned long long)length);
        length = heapBytes - uint64_t(first - exfat::kFirstCluster) * bytesPerCluster_;
    }
    valid = std::min(valid, length);

    FoundObject record;
    record.flags = object_flag::NameAssigned;
    if (deleted) record.flags |= object_flag::Deleted;
    const uint32_t cluster = length != 0 || folder ? first : 0;
    const bool usable = cluster >= exfat::kFirstCluster && cluster - exfat::kFirstCluster < clusterCount_;
    if (folder) {
        record.flags |= object_flag::Folder;
        if (usable && length != 0 && !(folderSeen_[cluster / 8] & (1u << (cluster % 8)))) {
            folderSeen_[cluster / 8] |= uint8_t(1u << (cluster % 8));
            folders_.push_back(Folder{cluster, length, contiguous, deleted});
        }
    }
    record.id = usable ? int32_t(cluster) : 0;
    record.parent = record.id != 0 && record.id == parent ? rootId_ : parent;
    record.start = usable ? ClusterPosition(cluster) : 0;
    record.size = folder ? 0 : length;
    record.cluster = usable ? cluster : 0;
    record.attributes = uint16_t((attributes & 0x3FFF) | (contiguous ? kAttrContiguous : 0));
    record.created = TimestampToFileTime(le32(file, exfat::kCreateTimestamp), le8(file, exfat::kCreate10ms),
                                         le8(file, exfat::kCreateUtcOffset));
    record.modified = TimestampToFileTime(le32(file, exfat::kModifiedTimestamp), le8(file, exfat::kModified10ms),
                                          le8(file, exfat::kModifiedUtcOffset));
    record.accessed =
        TimestampToFileTime(le32(file, exfat::kAccessedTimestamp), 0, le8(file, exfat::kAccessedUtcOffset));
    record.name = name.c_str();
    if (!folder && valid < length) {
        std::lock_guard lock(validMutex_);
        validLength_[{record.cluster, record.size, deleted}] = valid;
    }
    OnFileSystemObject(*volume_, record);
    return used;
}

void CFileSystem_exFAT::ParseEntries(ByteSpan entries, int32_t parent, bool root) {
    try {
        const size_t count = entries.size() / exfat::kEntrySize;
        if (root) {
            for (size_t i = 0; i < count; ++i) {
                ByteSpan e = entries.subspan(i * exfat::kEntrySize, exfat::kEntrySize);
                const uint8_t type = le8(e, exfat::kEntryType);
                if (type == exfat::kTypeAllocationBitmap && !haveBitmap_ && !(le8(e, exfat::kBitmapFlags) & 1))
                    LoadAllocationBitmap(le32(e, exfat::kBitmapFirstCluster), le64(e, exfat::kBitmapDataLength));
                if (type == exfat::kTypeVolumeLabel) {
                    const size_t chars = std::min<size_t>(le8(e, exfat::kLabelCharacterCount), exfat::kLabelMaxChars);
                    volume_->label = Utf16LeToUtf8(e.subspan(exfat::kLabelText, chars * 2));
                }
            }
        }
        // Past the end mark only sets whose checksum holds are taken: the
        // rest of such a cluster may hold anything.
        bool ended = false;
        for (size_t i = 0; i < count && Running();) {
            const uint8_t type = le8(entries, i * exfat::kEntrySize);
            if (type == exfat::kTypeEndOfDirectory) {
                ended = true;
                ++i;
                continue;
            }
            if (ended && TypeCode(type) == TypeCode(exfat::kTypeFile)) {
                const uint32_t n = le8(entries, i * exfat::kEntrySize + exfat::kSecondaryCount);
                if (n < exfat::kMinSecondaryCount || n > exfat::kMaxSecondaryCount || i + 1 + n > count) {
                    ++i;
                    continue;
                }
                ByteSpan set = entries.subspan(i * exfat::kEntrySize, (1 + n) * exfat::kEntrySize);
                if (SetChecksum(set, true) != le16(set, exfat::kSetChecksum)) {
                    ++i;
                    continue;
                }
            }
            i += ParseEntrySet(entries, i, parent);
        }
    } catch (...) {
        EventLog().LogError("CFileSystem_exFAT.ParseEntries.Except in folder %d", int(parent));
    }
}

void CFileSystem_exFAT::ScanDirectory(const Folder& folder, bool root) {
    std::vector<Run> runs;
    const uint64_t length = std::min(root ? exfat::kMaxDirectoryBytes : folder.length, exfat::kMaxDirectoryBytes);
    MapData(folder.first, length, folder.contiguous, folder.deleted, runs);
    uint64_t bytes = 0;
    for (const Run& run : runs) bytes += uint64_t(run.count) * bytesPerCluster_;
    if (bytes == 0) return;
    std::vector<uint8_t> buffer(size_t(bytes), 0);
    uint64_t at = 0;
    for (const Run& run : runs) {
        for (uint32_t k = 0; k < run.count && Running(); ++k, at += bytesPerCluster_) {
            const std::vector<Run> one{Run{run.first + k, 1}};
            if (ReadRuns(one, buffer.data() + at, 0, bytesPerCluster_) < bytesPerCluster_)
                std::memset(buffer.data() + at, 0, bytesPerCluster_);
        }
    }
    ParseEntries(ByteSpan(buffer), root ? rootId_ : int32_t(folder.first), root);
}

int CFileSystem_exFAT::ParseVolume() {
    try {
        if (!volume_->OpenDrive()) return 0;
        if (!SetupParameters() || !LoadFat()) return 0;
        rootId_ = volume_->collection.rootId.load();
        folders_.clear();
        folderSeen_.assign(size_t(clusterCount_) / 8 + 2, 0);
        if (rootCluster_ < exfat::kFirstCluster || rootCluster_ - exfat::kFirstCluster >= clusterCount_) {
            EventLog().LogError("exFAT Root directory not readed! Root cluster %u is outside the volume", rootCluster_);
            return 0;
        }
        folderSeen_[rootCluster_ / 8] |= uint8_t(1u << (rootCluster_ % 8));
        ScanDirectory(Folder{rootCluster_, 0, false, false}, true);
        if (!haveBitmap_) {
            // Without the bitmap the FAT is the only word on what is in use.
            EventLog().LogError("exFAT: no allocation bitmap; clusters with a FAT entry are taken as in use");
            CBitArray& bitmap = volume_->clusterBitmap;
            bitmap.SetSize(uint64_t(clusterCount_) + exfat::kFirstCluster, false);
            for (uint32_t c = 0; c < clusterCount_ + exfat::kFirstCluster; ++c)
                if (c < exfat::kFirstCluster || FatEntry(c) != 0) bitmap.Set(c, true);
        }
        for (size_t i = 0; i < folders_.size() && Running(); ++i) {
            const Folder next = folders_[i];  // the walk appends to the list
            ScanDirectory(next, false);
        }
    } catch (...) {
        EventLog().LogError("CFileSystem_exFAT.ParseVolume.Except");
    }
    return 0;
}

}  // namespace vx
