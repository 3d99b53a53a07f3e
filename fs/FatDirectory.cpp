// CFileSystem_FAT: the directory walk. The root directory first, then every
// folder met, live or deleted, breadth-first; every directory cluster is
// read whole, past the end mark, so deleted entries anywhere are found.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/Text.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "fs/FatLayout.h"
#include "fs/FatTime.h"
#include "fs/FileSystem_FAT.h"
#include "settings/EventLog.h"

namespace vx {

namespace {

// The name buffer holds 4096 UTF-16 characters: at most this many long-name
// entries make one name.
constexpr size_t kMaxLongEntries = 4096 / fat::kLongNameChars;

bool Running() { return TheAnalysisState().Running(); }

bool IsForbiddenNameByte(uint8_t c) {
    static const char kForbidden[] = "\"*+,/:;<=>?[\\]|";
    if (c < 0x20) return true;
    if (std::memchr(kForbidden, c, sizeof kForbidden - 1)) return true;
    return c < 0x80 && std::islower(c);  // lower case is never stored in a short name
}

}  // namespace

bool CFileSystem_FAT::IsDirectory(ByteSpan e) { return (le8(e, fat::kAttributes) & fat::kAttrDirectory) != 0; }

bool CFileSystem_FAT::IsDotEntry(ByteSpan e) { return IsDirectory(e) && le8(e, fat::kName) == '.'; }

bool CFileSystem_FAT::IsDeletedEntry(ByteSpan e) {
    const uint8_t first = le8(e, fat::kName);
    return first == fat::kDeletedMark || first == fat::kDeletedMarkKanji;
}

bool CFileSystem_FAT::IsValidShortName(ByteSpan e) {
    for (size_t i = 0; i < fat::kNameLength; ++i) {
        const uint8_t c = le8(e, fat::kName + i);
        if (i == 0) {
            if (c == fat::kDeletedMarkKanji) continue;
            if (c == 0x00 || c == 0x20) return false;
        }
        if (IsForbiddenNameByte(c)) return false;
    }
    for (size_t i = 0; i < fat::kExtensionLength; ++i)
        if (IsForbiddenNameByte(le8(e, fat::kExtension + i))) return false;
    return true;
}

bool CFileSystem_FAT::IsValidEntry(ByteSpan e) {
    if (e.size() < fat::kEntrySize) return false;
    const uint8_t attributes = le8(e, fat::kAttributes);
    if ((attributes & fat::kAttrLongName) == fat::kAttrLongName)
        return attributes < 0x10 && le16(e, fat::kClusterLow) == 0;
    return IsValidShortName(e) && le8(e, fat::kCreateTenths) < 200 && attributes < 0x40;
}

uint8_t CFileSystem_FAT::ShortNameChecksum(ByteSpan e) {
    uint8_t sum = 0;
    for (size_t i = 0; i < fat::kNameLength + fat::kExtensionLength; ++i)
        sum = uint8_t(((sum & 1) << 7) + (sum >> 1) + le8(e, i));
    return sum;
}

std::string CFileSystem_FAT::ShortName(ByteSpan e) {
    uint8_t text[fat::kNameLength + 1 + fat::kExtensionLength];
    // Names written in lower case by their creator carry case flags instead
    // of a long name; they are shown as written.
    const uint8_t caseFlags = le8(e, fat::kCaseFlags);
    auto shown = [](uint8_t c, bool lower) { return lower && c >= 'A' && c <= 'Z' ? uint8_t(c + 32) : c; };
    size_t n = 0;
    size_t i = 0;
    if (IsDeletedEntry(e)) {
        text[n++] = '_';
        i = 1;
    }
    for (; i < fat::kNameLength; ++i) {
        const uint8_t c = le8(e, fat::kName + i);
        if (c == ' ') break;
        text[n++] = shown(c, caseFlags & fat::kLowerName);
    }
    if (le8(e, fat::kExtension) != ' ') {
        text[n++] = '.';
        for (size_t k = 0; k < fat::kExtensionLength; ++k) {
            const uint8_t c = le8(e, fat::kExtension + k);
            if (c == ' ') break;
            text[n++] = shown(c, caseFlags & fat::kLowerExtension);
        }
    }
    const bool ascii = std::all_of(text, text + n, [](uint8_t c) { return c < 0x80; });
    return ascii ? std::string(reinterpret_cast<const char*>(text), n) : AnsiToUtf8(ByteSpan(text, n));
}

// A long name belongs to a short entry only through the run of long-name
// entries directly before it. For a live entry the run must be live and carry
// the checksum of its short name: a live 8.3 file written into the slot of a
// deleted long-named file must not take that file's name. A deleted entry's
// checksum cannot be checked (its first byte is gone), so the deleted run
// before it is taken.
std::string CFileSystem_FAT::EntryName(ByteSpan entries, size_t index) {
    ByteSpan shortEntry = entries.subspan(index * fat::kEntrySize, fat::kEntrySize);
    const bool deleted = IsDeletedEntry(shortEntry);
    const uint8_t checksum = ShortNameChecksum(shortEntry);
    std::vector<uint8_t> utf16;
    for (size_t k = 1; k <= index && k <= kMaxLongEntries; ++k) {
        ByteSpan e = entries.subspan((index - k) * fat::kEntrySize, fat::kEntrySize);
        if (le8(e, fat::kAttributes) != fat::kAttrLongName) break;
        const bool entryDeleted = le8(e, fat::kLongSequence) == fat::kDeletedMark;
        if (entryDeleted != deleted) break;
        if (!deleted && le8(e, fat::kLongChecksum) != checksum) break;
        for (const fat::CharRun& run : fat::kLongNameRuns)
            utf16.insert(utf16.end(), e.begin() + run.offset, e.begin() + run.offset + run.chars * 2);
    }
    if (!utf16.empty()) {
        std::string name = Utf16LeToUtf8(ByteSpan(utf16));
        if (!name.empty()) return name;
    }
    return ShortName(shortEntry);
}

void CFileSystem_FAT::ParseEntry(ByteSpan entries, size_t index, int32_t parent) {
    ByteSpan e = entries.subspan(index * fat::kEntrySize, fat::kEntrySize);
    if (!IsValidEntry(e)) return;
    const uint8_t attributes = le8(e, fat::kAttributes);
    if (attributes == fat::kAttrLongName || attributes == fat::kAttrVolumeLabel) return;
    if (IsDotEntry(e)) return;

    const uint32_t first = (uint32_t(le16(e, fat::kClusterHigh)) << 16) | le16(e, fat::kClusterLow);
    // First cluster 0 with no bytes: an empty file; its name, folder and
    // times are listed. A folder whose cluster was cleared has nothing to
    // read, and any other first cluster outside the data area points nowhere
    // that can be read.
    const bool empty = first == 0 && !IsDirectory(e) && le32(e, fat::kFileSize) == 0;
    if (!empty && (first < 2 || first >= clusterLimit_)) return;

    const std::string name = EntryName(entries, index);
    FoundObject record;
    record.flags = object_flag::NameAssigned;
    if (IsDeletedEntry(e)) record.flags |= object_flag::Deleted;
    if (IsDirectory(e)) {
        record.flags |= object_flag::Folder;
        if (!(folderSeen_[first / 8] & (1u << (first % 8)))) {
            folderSeen_[first / 8] |= uint8_t(1u << (first % 8));
            folders_.push_back(first);
        }
    }
    record.start = empty ? 0 : ClusterPosition(first);
    // No file holds more than the data area: a larger size is damage, and
    // taken as it stands a recovery would write gigabytes of zeros.
    record.size = std::min<uint64_t>(le32(e, fat::kFileSize), uint64_t(clusterLimit_ - 2) * bytesPerCluster_);
    record.id = int32_t(first);
    record.parent = int32_t(first) == parent ? rootId_ : parent;
    record.attributes = attributes;
    record.created = DosDateTimeToFileTime(le16(e, fat::kCreateDate), le16(e, fat::kCreateTime));
    record.modified = DosDateTimeToFileTime(le16(e, fat::kWriteDate), le16(e, fat::kWriteTime));
    record.accessed = DosDateTimeToFileTime(le16(e, fat::kAccessDate), 0);
    record.cluster = first;
    record.name = name.c_str();
    OnFileSystemObject(*volume_, record);
}

void CFileSystem_FAT::ParseEntries(ByteSpan entries, int32_t parent) {
    try {
        const size_t count = entries.size() / fat::kEntrySize;
        for (size_t i = 0; i < count && Running(); ++i) ParseEntry(entries, i, parent);
    } catch (...) {
        EventLog().LogError("CFileSystem_FAT.ParseEntries.Except in folder %d", int(parent));
    }
}

void CFileSystem_FAT::ScanDirectory(uint32_t first) {
    if (first < 2 || first >= clusterLimit_) return;
    const size_t limit = std::max<size_t>(1, kMaxDirectoryBytes / bytesPerCluster_);
    std::vector<uint32_t> chain;
    ClusterChain(first, chain, limit);
    if (chain.empty()) return;
    if (chain.size() == limit) {
        const uint32_t next = FatEntry(chain.back());
        if (next != 0 && !IsEndOfChain(next) && next < entryCount_)
            EventLog().LogError("FAT folder at cluster %u is longer than %llu bytes; the rest of it is skipped", first,
                                (unsigned long long)kMaxDirectoryBytes);
    }
    std::vector<uint8_t> buffer(chain.size() * size_t(bytesPerCluster_), 0);
    for (size_t i = 0; i < chain.size() && Running(); ++i) {
        uint8_t* slot = buffer.data() + i * bytesPerCluster_;
        if (ReadCluster(slot, chain[i]) < bytesPerCluster_) std::memset(slot, 0, bytesPerCluster_);
    }
    // The root's own entries belong to the root folder, whatever its cluster.
    const int32_t parent = family_ == Family::Fat32 && first == rootCluster_ ? rootId_ : int32_t(first);
    ParseEntries(ByteSpan(buffer), parent);
}

int CFileSystem_FAT::ParseVolume() {
    try {
        if (!volume_->OpenDrive()) return 0;
        switch (volume_->typeCode) {
            case 1: case 17: family_ = Family::Fat12; break;
            case 4: case 6: family_ = Family::Fat16; break;
            case 11: family_ = Family::Fat32; break;
            default: return 0;  // no file-system string: nothing here can be trusted
        }
        if (!SetupParameters() || !LoadFat()) return 0;
        FillClusterBitmap();
        rootId_ = volume_->collection.rootId.load();
        folders_.clear();
        folderSeen_.assign(size_t(clusterLimit_) / 8 + 1, 0);

        if (family_ == Family::Fat32) {
            if (rootCluster_ < 2 || rootCluster_ >= clusterLimit_) {
                EventLog().LogError("FAT Root directory not readed! Root cluster %u is outside the volume",
                                    rootCluster_);
                return 0;
            }
            folderSeen_[rootCluster_ / 8] |= uint8_t(1u << (rootCluster_ % 8));
            ScanDirectory(rootCluster_);
        } else {
            const uint64_t rootSectors = firstDataSector_ - uint64_t(rootDirectorySector_) * sectorScale_;
            std::vector<uint8_t> root(rootSectors * kSectorSize, 0);
            if (rootSectors != 0 &&
                volume_->ReadSectors(root.data(), uint64_t(rootDirectorySector_) * sectorScale_, rootSectors) == 0) {
                EventLog().LogError("FAT Root directory not readed!");
                return 0;
            }
            ParseEntries(ByteSpan(root), rootId_);
        }
        for (size_t i = 0; i < folders_.size() && Running(); ++i) ScanDirectory(folders_[i]);
    } catch (...) {
        EventLog().LogError("CFileSystem_FAT.ParseVolume.Except");
    }
    return 0;
}

}  // namespace vx
