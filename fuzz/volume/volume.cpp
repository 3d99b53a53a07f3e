// A FAT (VX_FUZZ_FAT), NTFS (VX_FUZZ_NTFS) or exFAT (VX_FUZZ_EXFAT) volume: the boot sector, the
// file-system analysis, then the head and tail of every file found read
// through the analyser, and on request a recovery of what was found.
#include <cstddef>
#include <cstdint>

#include "device/Volume.h"
#include "fs/Analysis.h"
#include "fs/AnalysisState.h"
#include "fs/FileSystem.h"
#include "fuzz/support/FuzzSupport.h"

using namespace vx;

namespace {

#if defined(VX_FUZZ_NTFS)
constexpr bool kNtfs = true;
#else
constexpr bool kNtfs = false;
#endif

bool Wanted(const CVolume& volume) {
#if defined(VX_FUZZ_NTFS)
    return volume.typeCode == 7 && !volume.exfat;
#elif defined(VX_FUZZ_EXFAT)
    return volume.typeCode == 7 && volume.exfat;
#else
    return volume.typeCode != 7 && ChooseAnalyser(const_cast<CVolume&>(volume)).analyser != nullptr;
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    const fuzz::Frame frame = fuzz::ParseFrame(data, size);
    std::unique_ptr<CVolume> volume = fuzz::OpenMemoryVolume(frame);
    if (volume && Wanted(*volume)) {
        TheAnalysisState().running = 1;
        AnalyseFileSystem(*volume);
        const std::vector<FoundObject*> files = fuzz::CheckCollection(*volume, !kNtfs);
        fuzz::ReadFiles(*volume, files);
        if (frame.flags & fuzz::kRecover) fuzz::CheckRecovery(*volume);
    }
    volume.reset();
    fuzz::EndInput();
    return 0;
}
