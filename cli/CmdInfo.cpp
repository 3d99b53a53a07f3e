#include <cstdio>
#include <vector>

#include "cli/Cli.h"
#include "common/Strings.h"
#include "device/Volume.h"

namespace vx::cli {

int CmdInfo(const Args& args) {
    std::vector<std::string> sources = Positionals(args, {});
    if (sources.size() != 1) return UsageError("info needs one SOURCE");
    std::unique_ptr<CVolume> volume = OpenSource(sources[0]);
    if (!volume) return kExitError;
    volume->ReadBootSector();
    std::string firstSector;
    for (size_t i = 0; i < kSectorSize; ++i) {
        if (i % 32 == 0) firstSector += Format("\n  %04zx ", i);
        firstSector += Format(" %02x", volume->bootBuffer[i]);
    }
    NtfsInfo ntfs;
    const bool isNtfs = DescribeNtfs(*volume, ntfs);
    if (HasFlag(args, "--json")) {
        std::printf("{\"display_name\": %s, \"kind\": %s, \"total_bytes\": %llu, \"total_sectors\": %llu%s}\n",
                    JsonString(volume->DisplayName()).c_str(), JsonString(VolumeKindText(volume->kind)).c_str(),
                    (unsigned long long)volume->totalBytes, (unsigned long long)volume->totalSectors,
                    isNtfs ? NtfsInfoJson(ntfs).c_str() : "");
        return kExitOk;
    }
    std::printf("Display name:   %s\n", volume->DisplayName().c_str());
    std::printf("Kind:           %s\n", VolumeKindText(volume->kind));
    std::printf("Device path:    %s\n", volume->DevicePath().c_str());
    std::printf("Total bytes:    %llu\n", (unsigned long long)volume->totalBytes);
    std::printf("Total sectors:  %llu\n", (unsigned long long)volume->totalSectors);
    if (isNtfs) std::printf("%s", NtfsInfoText(ntfs).c_str());
    std::printf("First sector:%s\n", firstSector.c_str());
    return kExitOk;
}

}  // namespace vx::cli
