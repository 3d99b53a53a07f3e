#include "fuzz/support/FuzzSupport.h"

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/AnalysisState.h"
#include "fs/FoundObject.h"
#include "platform/FaultySectorReader.h"
#include "platform/MemorySectorReader.h"
#include "recovery/RecoveryJob.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"
#include "settings/Registry.h"

namespace vx::fuzz {

namespace {

std::string g_temp;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

void RemoveTree(const std::string& path) { ::nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

void RemoveTemp() {
    if (!g_temp.empty()) RemoveTree(g_temp);
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> out;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) out.insert(e->d_name);
        ::closedir(d);
    }
    return out;
}

}  // namespace

const std::string& Setup() {
    if (!g_temp.empty()) return g_temp;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vornex-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    g_temp = pattern;
    std::atexit(RemoveTemp);
    ::setenv("XDG_CONFIG_HOME", (g_temp + "/config").c_str(), 1);
    CRegistry::UseDatabase(g_temp + "/config/vornex/registry.sqlite");
    Settings().InitialiseSettings();
    Settings().SetWord(settings_offset::RetryAttempts, 0);
    Settings().SetWord(settings_offset::RetryPause, 0);
    return g_temp;
}

void EndInput() {
    TheAnalysisState().running = 0;
    Computer().Volumes().Clear();
    EventLog().ClearLines();
}

Frame ParseFrame(const uint8_t* data, size_t size, uint64_t maxClaim) {
    Frame f;
    uint8_t head[kFrameSize] = {};
    if (size >= kFrameSize) {
        std::memcpy(head, data, kFrameSize);
        data += kFrameSize;
        size -= kFrameSize;
    }
    f.flags = head[0];
    f.image = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    f.claimedSize = size;
    if (head[1] >= 9 && head[1] <= 44) f.claimedSize = std::max<uint64_t>(size, uint64_t(1) << head[1]);
    f.claimedSize = std::min(f.claimedSize, std::max<uint64_t>(maxClaim, size));
    f.badSector = uint64_t(head[2]) | (uint64_t(head[3]) << 8);
    return f;
}

const char* MemoryPath() { return "/nonexistent/vornex-fuzz-source"; }

void InstallSource(const Frame& frame) {
    SetSectorReaderFactory([frame](const std::string& path, std::string* error) -> std::unique_ptr<ISectorReader> {
        if (path != MemoryPath()) {
            if (error) *error = "not the fuzzed source";
            return nullptr;
        }
        std::unique_ptr<ISectorReader> reader = MakeMemorySectorReader(frame.image, frame.claimedSize);
        if (!(frame.flags & (kTailUnreadable | kSectorUnreadable))) return reader;
        auto bad = std::make_shared<std::set<uint64_t>>();
        if (frame.flags & kSectorUnreadable) bad->insert(frame.badSector);
        const uint64_t failFrom =
            frame.flags & kTailUnreadable ? (frame.image->size() + kSectorSize - 1) / kSectorSize : UINT64_MAX;
        return MakeFaultySectorReader(std::move(reader), std::move(bad), failFrom);
    });
}

std::unique_ptr<CVolume> OpenMemoryVolume(const Frame& frame) {
    InstallSource(frame);
    auto volume = std::make_unique<CVolume>(VolumeKind::Image, kDriveImage);
    volume->devicePath = MemoryPath();
    volume->SetId(Computer().NextId());
    if (!volume->OpenDrive()) return nullptr;
    volume->totalBytes = volume->Reader()->Size();
    volume->totalSectors = volume->totalBytes / kSectorSize;
    volume->totalClusters = volume->totalSectors;
    volume->state = VolumeState::Ready;
    (void)volume->ParseBootSector();
    return volume;
}

bool ValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = uint8_t(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t n;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) n = 1, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0) n = 2, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0) n = 3, cp = c & 0x07;
        else return false;
        if (i + n >= text.size()) return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto d = uint8_t(text[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "vornex fuzz invariant broken: %s\n", what);
    std::abort();
}

std::vector<FoundObject*> CheckCollection(CVolume& volume, bool sizesWithinVolume) {
    const uint64_t end = volume.totalBytes;
    std::vector<FoundObject*> files;
    for (FoundObject* r : volume.collection.Snapshot()) {
        if (r->IsVolumeNode()) continue;
        if (r->name) Require(ValidUtf8(r->name), "a name is not valid UTF-8");
        if (r->IsFolder()) continue;
        Require(r->start <= end, "an object starts past the volume's end");
        if (r->SizeKnown()) {
            if (r->IsFoundByContent()) Require(r->size <= end - r->start, "a found file runs past the volume's end");
            else if (sizesWithinVolume) Require(r->size <= end, "an object's size is past the volume's end");
        }
        files.push_back(r);
    }
    return files;
}

void ReadFiles(CVolume& volume, const std::vector<FoundObject*>& files, size_t maxFiles) {
    constexpr uint32_t kPiece = 3000;  // not a sector multiple, as the recovery's last piece
    std::vector<uint8_t> buffer(kPiece + kSectorSize);
    size_t done = 0;
    for (FoundObject* f : files) {
        if (done++ == maxFiles) break;
        if (!f->SizeKnown() || f->size == 0) continue;
        const uint64_t tail = f->size > kPiece ? f->size - kPiece : 0;
        for (uint64_t offset : {uint64_t(0), tail}) {
            const uint32_t want = uint32_t(std::min<uint64_t>(kPiece, f->size - offset));
            const uint32_t got = volume.ReadObjectData(*f, buffer.data(), offset, want);
            Require(got <= want + kSectorSize, "a read delivered more than asked");
        }
    }
}

void CheckRecovery(CVolume& volume, uint64_t maxBytes, size_t maxObjects) {
    const std::string& temp = Setup();
    const std::string dest = temp + "/dest";
    const std::set<std::string> before = Entries(temp);
    CRecoveryJob job(CRecoveryJob::Kind::Recovery);
    for (FoundObject* r : volume.collection.Snapshot()) {
        if (job.objects.size() == maxObjects) break;
        if (r->IsVolumeNode() || (!r->IsFolder() && (!r->SizeKnown() || r->size > maxBytes))) continue;
        job.objects.push_back(r);
    }
    if (job.objects.empty()) return;
    Settings().SetText(settings_offset::DestinationFolder, 4096, dest);
    if (job.StartRecovery(&volume)) job.Wait();
    std::set<std::string> after = Entries(temp);
    after.erase("dest");
    Require(after == before, "a recovery wrote beside its destination folder");
    RemoveTree(dest);
}

}  // namespace vx::fuzz
