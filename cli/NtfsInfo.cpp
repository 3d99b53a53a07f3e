// The NTFS part of `info`: where the MFT is and how it is laid out.
#include <cstring>

#include "cli/Cli.h"
#include "common/Strings.h"
#include "device/Volume.h"
#include "fs/FileSystem_NTFS.h"

namespace vx::cli {

bool DescribeNtfs(CVolume& volume, NtfsInfo& out) {
    if (std::memcmp(volume.bootBuffer.data() + 3, "NTFS    ", 8) != 0) return false;
    CFileSystem_NTFS fs(&volume);
    if (!fs.ReadLayout()) return false;
    out.mftCluster = fs.MftCluster();
    out.mftPosition = fs.MftCluster() * fs.BytesPerCluster();
    out.bytesPerCluster = fs.BytesPerCluster();
    out.recordSize = fs.RecordSize();
    out.mftLoaded = fs.LoadMft() != 0;
    out.recordSize = fs.RecordSize();
    out.recordCount = fs.RecordCount();
    return true;
}

std::string NtfsInfoText(const NtfsInfo& info) {
    std::string text = Format("MFT position:   cluster %llu (byte %llu)\n", (unsigned long long)info.mftCluster,
                              (unsigned long long)info.mftPosition);
    text += Format("Record size:    %u\n", info.recordSize);
    if (info.mftLoaded) text += Format("MFT records:    %llu\n", (unsigned long long)info.recordCount);
    else text += "MFT records:    unreadable\n";
    return text;
}

std::string NtfsInfoJson(const NtfsInfo& info) {
    return Format(", \"mft_cluster\": %llu, \"mft_position\": %llu, \"record_size\": %u, \"record_count\": %llu",
                  (unsigned long long)info.mftCluster, (unsigned long long)info.mftPosition, info.recordSize,
                  (unsigned long long)(info.mftLoaded ? info.recordCount : 0));
}

}  // namespace vx::cli
