#pragma once
// Helpers of the FAT tests: images built with mkfs.fat and mtools, the
// analysis run on them, and the listing of what it found.
#include <map>
#include <memory>
#include <string>

#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "fs/FileSystem_FAT.h"
#include "fs/ObjectPath.h"
#include "tests/support/TestSupport.h"

namespace vx::test {

// Environment for every mtools call: no geometry checks, UTF-8 names, and
// times in UTC so that the stamps read back are the ones written.
inline const char* kMtoolsEnv = "MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 TZ=UTC ";

inline std::string Mtools(const std::string& command) { return std::string(kMtoolsEnv) + command; }

// Opens an image as a volume with its boot sector parsed.
inline std::unique_ptr<CVolume> OpenImage(const std::string& path) {
    std::unique_ptr<CVolume> volume = Computer().OpenSource(path);
    if (volume) (void)volume->ParseBootSector();
    return volume;
}

// Runs the file-system phase on the calling thread.
inline void AnalyseFat(CVolume& volume) {
    TheAnalysisState().running = 1;
    AnalyseFileSystem(volume);
    TheAnalysisState().running = 0;
}

// Every record below the root folder or a lost folder, by path.
inline std::map<std::string, FoundObject> Listing(const CVolume& volume) {
    std::map<std::string, FoundObject> out;
    const int32_t root = volume.collection.rootId;
    volume.collection.Visit([&](const FoundObject& r) {
        if (r.IsVolumeNode() || (r.id == root && r.parent == volume.Id())) return;
        out.emplace(ObjectPath(volume.collection, r), r);
    });
    return out;
}

// The whole data of an object through the recovery read.
inline std::string ReadObject(CVolume& volume, const FoundObject& object) {
    std::string data(object.size, '\0');
    uint64_t done = 0;
    while (done < object.size) {
        const uint32_t want = uint32_t(std::min<uint64_t>(object.size - done, 3000));  // not a sector multiple
        const uint32_t got = volume.ReadObjectData(object, data.data() + done, done, want);
        if (got == 0) break;
        done += got;
        if (got < want) break;
    }
    data.resize(done);
    return data;
}

}  // namespace vx::test
