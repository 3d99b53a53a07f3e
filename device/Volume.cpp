#include "device/Volume.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <unordered_set>

#include "common/Strings.h"
#include "common/Text.h"
#include "fs/FileSystem.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"

namespace vx {

const char* VolumeKindText(VolumeKind kind) {
    switch (kind) {
        case VolumeKind::Physical: return "Physical";
        case VolumeKind::Logical: return "Logical";
        case VolumeKind::Virtual: return "Virtual";
        case VolumeKind::Image: return "Volume Image";
        case VolumeKind::Found: return "Found";
        default: return "";
    }
}

const char* VolumeStateText(VolumeState state) {
    switch (state) {
        case VolumeState::QueryInformation: return "Query Information";
        case VolumeState::NotReady: return "Not Ready";
        case VolumeState::Ready: return "Ready";
        case VolumeState::Analyzing: return "Analyzing";
    }
    return "";
}

const char* DriveTypeText(uint32_t driveType) {
    switch (driveType) {
        case kDriveRemovable: return "Removable";
        case kDriveFixed: return "Fixed";
        case kDriveCdRom: return "CD\\DVD";
        case kDriveImage: return "OS File";
        case 8: return "Volume Image";
        case kDriveFound: return "Found";
        default: return LoadString(str::Unknown);
    }
}

CVolume::CVolume(VolumeKind k, uint32_t type) : parent(this), driveType(type), kind(k) {
    rootRecord.flags = object_flag::Embedded;
    rootRecord.volume = this;
    collection.SetVolume(this);
}

CVolume::~CVolume() {
    if (queryThread.joinable()) queryThread.join();
    StopSectorAnalysis();
    Close();
    collection.Clear();
}

std::shared_ptr<ISectorReader> CVolume::Reader() const {
    std::lock_guard lock(readerMutex_);
    return reader_;
}

std::vector<CVolume*> CVolume::Children() const {
    std::lock_guard lock(childrenMutex_);
    return children;
}

void CVolume::AddChild(CVolume* child) {
    std::lock_guard lock(childrenMutex_);
    children.push_back(child);
}

void CVolume::SetChildren(std::vector<CVolume*> list) {
    std::lock_guard lock(childrenMutex_);
    children = std::move(list);
}

bool CVolume::IsOpen() const { return Reader() != nullptr; }

std::shared_ptr<ISectorReader> CVolume::EnsureReader() {
    std::lock_guard lock(readerMutex_);
    if (reader_) return reader_;
    if (kind == VolumeKind::ComputerNode || kind == VolumeKind::RecycleBinNode) return nullptr;
    std::string path = DevicePath();
    std::string error;
    std::unique_ptr<ISectorReader> reader = path.empty() ? nullptr : OpenSectorReader(path, &error);
    if (!reader) {
        if (path.empty()) error = "no device";
        EventLog().LogError("Can't open volume '%s', System Error: %s", path.c_str(), error.c_str());
        return nullptr;
    }
    reader_ = std::move(reader);
    return reader_;
}

int CVolume::OpenDrive() {
    try {
        return EnsureReader() ? 1 : 0;
    } catch (...) {
        EventLog().LogError("OpenDrive except");
        return 0;
    }
}

void CVolume::Close() {
    std::lock_guard lock(readerMutex_);
    reader_.reset();  // a read in progress keeps its own reference
}

uint32_t CVolume::ReadSectors(void* buffer, uint64_t sector, uint64_t count) {
    if (count == 0) return 0;
    std::shared_ptr<ISectorReader> reader = Reader();
    if (!reader) {
        EventLog().LogDebug("ReadSectors: Drive not opened, try open");
        reader = EnsureReader();
        if (!reader) return 0;
    }
    const uint64_t position = sector * kSectorSize + startOffset;
    uint32_t length = uint32_t(count * kSectorSize);  // taken to 32 bits
    // A virtual drive ends where the user said, not where its device does.
    if (kind == VolumeKind::Virtual && totalBytes != 0) {
        const uint64_t end = startOffset + totalBytes;
        if (position >= end) return 0;
        length = uint32_t(std::min<uint64_t>(length, end - position));
    }
    const uint32_t retries = Settings().RetryAttempts();
    int64_t got = -1;
    for (uint32_t attempt = 0; attempt <= retries; ++attempt) {
        got = reader->ReadAt(buffer, length, position);
        if (got >= 0) break;
        EventLog().LogError("Volume %s at position %lld not readed, try retry %d", DisplayName().c_str(),
                            (long long)position, int(attempt));
        if (uint32_t pause = Settings().RetryPause()) std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    }
    return got > 0 ? uint32_t(got) : 0;
}

std::string CVolume::DevicePath() const {
    switch (kind) {
        case VolumeKind::Virtual:
        case VolumeKind::Found:
            return ParentVolume() ? ParentVolume()->DevicePath() : devicePath;
        default:
            return devicePath;
    }
}

std::string CVolume::DisplayName() const {
    switch (kind) {
        case VolumeKind::Physical:
            return description;
        case VolumeKind::Logical: {
            std::string trimmed = TrimSpaces(label);
            return trimmed.empty() ? kernelName : kernelName + " (" + trimmed + ")";
        }
        case VolumeKind::Found:
        case VolumeKind::Virtual:
            return Format("Volume at: %llu", (unsigned long long)startOffset);
        case VolumeKind::Image: {
            size_t slash = devicePath.rfind('/');
            return slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
        }
        default:
            return {};
    }
}

std::string CVolume::ObjectFolderPath(const FoundObject& object) const {
    std::string name = kind == VolumeKind::Image ? DisplayName() : kernelName;
    const std::string prefix = name.empty() ? "/" : name + ":/";
    const int32_t root = collection.rootId;
    if (object.id == root) return prefix;
    // Walk up through the parent folders. Ids are not unique (a deleted file
    // can share its first cluster with a folder), so only folder records are
    // taken; the walk ends at the root, at a record met twice, or where no
    // folder carries the id (the volume's own node).
    std::vector<std::string> parts;
    std::unordered_set<const FoundObject*> visited;
    const FoundObject* record = collection.FindFolder(object.parent);
    while (record && visited.insert(record).second) {
        if (record->id == root || record->id == record->parent) break;
        parts.emplace_back(record->name ? record->name : "");
        record = collection.FindFolder(record->parent);
    }
    std::string path = prefix;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) path += *it + "/";
    return path;
}

uint32_t CVolume::FileRead(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) {
    if (size == 0) return 0;
    const uint64_t position = object.start + offset;
    const uint64_t sector = position / kSectorSize;
    const uint64_t count = size / kSectorSize + (size % kSectorSize ? 1 : 0);
    try {
        uint32_t got = ReadSectors(buffer, sector, count);
        if (got == 0) {
            EventLog().LogError("CVolume.FileRead: Can't read sector at: %lld", (long long)sector);
            return 0;
        }
        if (size % kSectorSize) return got >= size ? size : got;
        return got;
    } catch (...) {
        EventLog().LogError("CVolume.FileRead.Except read sector at: %lld", (long long)sector);
        return 0;
    }
}

uint32_t CVolume::ReadObjectData(const FoundObject& object, void* buffer, uint64_t offset, uint32_t size) {
    try {
        switch (typeCode) {
            case 1: case 4: case 6: case 11: case 17: case 7:
                if (analyser) return analyser->FileRead(object, buffer, offset, size);
                // A scan without the file-system phase: files found by content lie where they were found.
                return object.IsFoundByContent() ? FileRead(object, buffer, offset, size) : 0;
            default:
                return FileRead(object, buffer, offset, size);
        }
    } catch (...) {
        return 0;
    }
}

uint32_t CVolume::ReadBootSector() {
    uint32_t got = ReadSectors(bootBuffer.data(), bootSectorPosition / kSectorSize, 2);
    if (got == 0) EventLog().LogError("Can't read boot sector on [%s]", DisplayName().c_str());
    return got;
}

}  // namespace vx
