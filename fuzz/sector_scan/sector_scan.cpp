// The sector scan over a small volume (at most 1 MiB claimed): every
// 512-byte position against the whole built-in file-type database, the
// size each candidate gets (compound documents from their allocation
// table), the lost folders, then the head and tail of every file found read
// back, and on request a recovery of what was found.
#include <cstddef>
#include <cstdint>

#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "fuzz/support/FuzzSupport.h"
#include "signatures/FileTypeDatabase.h"

using namespace vx;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Setup();
    FileTypes().EnsureLoaded();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Frame frame = fuzz::ParseFrame(data, size, uint64_t(1) << 20);
    std::unique_ptr<CVolume> volume = fuzz::OpenMemoryVolume(frame);
    if (volume) {
        AnalyseSectors(*volume);
        const std::vector<FoundObject*> files = fuzz::CheckCollection(*volume);
        fuzz::ReadFiles(*volume, files);
        if (frame.flags & fuzz::kRecover) fuzz::CheckRecovery(*volume);
    }
    volume.reset();
    fuzz::EndInput();
    return 0;
}
