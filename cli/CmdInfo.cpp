#include <cstdio>
#include <vector>

#include "cli/Cli.h"
#include "common/Strings.h"
#include "common/Text.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "platform/MediaHash.h"

namespace vx::cli {

namespace {

std::string SerialText(const CVolume& v) {
    if (v.serialNumberHigh) return Format("%X%08X", v.serialNumberHigh, v.serialNumber);
    return v.serialNumber ? Format("%X", v.serialNumber) : std::string();
}

// As the drive views do: a name still "Unknown" is refreshed from the type
// code, or from the boot sector when there is no code.
void RefreshFileSystemName(CVolume& v) {
    if (v.fileSystemName != "Unknown") return;
    v.SetFileSystemName(v.typeCode ? v.typeCode : CVolume::DetectFileSystem(v.bootBuffer.data()));
}

std::string PartitionsJson(const std::vector<CVolume*>& partitions) {
    std::string out = "[";
    for (size_t i = 0; i < partitions.size(); ++i) {
        const CVolume* p = partitions[i];
        out += Format("%s{\"start\": %llu, \"type\": %d, \"type_code\": %u, \"total_bytes\": %llu, \"fs_name\": %s, "
                      "\"name\": %s, \"type_guid\": %s}",
                      i ? ", " : "", (unsigned long long)p->rootRecord.start, int(uint8_t(p->rootRecord.type)),
                      p->typeCode, (unsigned long long)p->totalBytes, JsonString(p->fileSystemName).c_str(),
                      JsonString(p->partitionName).c_str(), JsonString(p->partitionTypeGuid).c_str());
    }
    return out + "]";
}

}  // namespace

int CmdInfo(const Args& args) {
    std::vector<std::string> sources = Positionals(args);
    if (sources.size() != 1) return UsageError("info needs one SOURCE");
    std::string offsetText;
    uint64_t offset = 0;
    const bool atOffset = OptionValue(args, "--offset", offsetText);
    if (atOffset && !ParseOffset(offsetText, offset)) return UsageError("--offset needs a byte offset");
    std::unique_ptr<CVolume> opened = OpenSource(sources[0]);
    if (!opened) return kExitError;
    // In the computer's list, so that the partitions of a whole disk are
    // added below it as Found volumes.
    CVolume* volume = Computer().Volumes().Append(std::move(opened));
    volume->ParseBootSector();
    if (atOffset) {
        if (offset >= volume->totalBytes) {
            std::fprintf(stderr, "vornex-cli: %s: offset %llu lies beyond its %llu bytes\n", sources[0].c_str(),
                         (unsigned long long)offset, (unsigned long long)volume->totalBytes);
            return kExitError;
        }
        volume = VolumeAtOffset(*volume, offset);
        if (!volume) return kExitError;
    }
    const std::vector<CVolume*> partitions = volume->Children();
    RefreshFileSystemName(*volume);
    for (CVolume* p : partitions) RefreshFileSystemName(*p);
    std::string firstSector;
    for (size_t i = 0; i < kSectorSize; ++i) {
        if (i % 32 == 0) firstSector += Format("\n  %04zx ", i);
        firstSector += Format(" %02x", volume->bootBuffer[i]);
    }
    NtfsInfo ntfs;
    const bool isNtfs = DescribeNtfs(*volume, ntfs);
    std::shared_ptr<ISectorReader> reader = volume->Reader();
    const std::string container = reader ? reader->ContainerKind() : "raw";
    const std::string storedHash = reader ? reader->StoredHash() : std::string();
    // --verify: the media hashed again and compared with the stored hash.
    std::string verification;
    int verifyStatus = kExitOk;
    if (HasFlag(args, "--verify")) {
        const size_t space = storedHash.find(' ');
        if (!reader || space == std::string::npos) {
            verification = "no stored hash to check";
            verifyStatus = kExitIncomplete;
        } else {
            const std::string algorithm = storedHash.substr(0, space), stored = storedHash.substr(space + 1);
            const std::string computed = MediaHash(*reader, algorithm);
            if (computed.empty()) {
                verification = "the media could not be read to the end";
                verifyStatus = kExitIncomplete;
            } else if (ToLowerAscii(computed) == ToLowerAscii(stored)) {
                verification = algorithm + " matches";
            } else {
                verification = algorithm + " differs: computed " + computed;
                verifyStatus = kExitIncomplete;
            }
        }
    }
    if (HasFlag(args, "--json")) {
        std::printf("{\"display_name\": %s, \"kind\": %s, \"type_code\": %u, \"fs_name\": %s, \"label\": %s, "
                    "\"serial\": %s, \"total_bytes\": %llu, \"total_sectors\": %llu, \"sectors_per_cluster\": %u, "
                    "\"bytes_per_cluster\": %u, \"container\": %s, \"stored_hash\": %s, \"verification\": %s, \"partitions\": %s%s}\n",
                    JsonString(volume->DisplayName()).c_str(), JsonString(VolumeKindText(volume->kind)).c_str(),
                    volume->typeCode, JsonString(volume->fileSystemName).c_str(),
                    JsonString(TrimSpaces(volume->label)).c_str(), JsonString(SerialText(*volume)).c_str(),
                    (unsigned long long)volume->totalBytes, (unsigned long long)volume->totalSectors,
                    volume->sectorsPerCluster, volume->bytesPerCluster, JsonString(container).c_str(),
                    JsonString(storedHash).c_str(), JsonString(verification).c_str(), PartitionsJson(partitions).c_str(),
                    isNtfs ? NtfsInfoJson(ntfs).c_str() : "");
        return verifyStatus;
    }
    std::printf("Display name:   %s\n", volume->DisplayName().c_str());
    std::printf("Kind:           %s\n", VolumeKindText(volume->kind));
    std::printf("Device path:    %s\n", volume->DevicePath().c_str());
    std::printf("Container:      %s\n", container.c_str());
    if (!storedHash.empty()) std::printf("Stored hash:    %s\n", storedHash.c_str());
    if (!verification.empty()) std::printf("Verification:   %s\n", verification.c_str());
    std::printf("Type code:      %u\n", volume->typeCode);
    std::printf("File system:    %s\n", volume->fileSystemName.c_str());
    if (!TrimSpaces(volume->label).empty()) std::printf("Label:          %s\n", TrimSpaces(volume->label).c_str());
    if (!SerialText(*volume).empty()) std::printf("Serial number:  %s\n", SerialText(*volume).c_str());
    std::printf("Total bytes:    %llu\n", (unsigned long long)volume->totalBytes);
    std::printf("Total sectors:  %llu\n", (unsigned long long)volume->totalSectors);
    std::printf("Cluster:        %u sector(s), %u bytes\n", volume->sectorsPerCluster, volume->bytesPerCluster);
    if (!partitions.empty()) {
        std::printf("Partitions:\n");
        for (const CVolume* p : partitions) {
            const std::string type = p->partitionTypeGuid.empty()
                                         ? Format("type 0x%02X", unsigned(uint8_t(p->rootRecord.type)))
                                         : "type " + p->partitionTypeGuid;
            std::printf("  at byte %-14llu %s  type code %-3u %-8s %s%s\n", (unsigned long long)p->rootRecord.start,
                        type.c_str(),
                        p->typeCode, p->fileSystemName.c_str(), TrimSpaces(p->label).c_str(),
                        p->partitionName.empty() ? "" : ("  name \"" + p->partitionName + "\"").c_str());
        }
    }
    if (isNtfs) std::printf("%s", NtfsInfoText(ntfs).c_str());
    std::printf("First sector:%s\n", firstSector.c_str());
    return verifyStatus;
}

}  // namespace vx::cli
