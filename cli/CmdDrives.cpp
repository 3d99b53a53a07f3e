// vornex-cli drives: the drive list as the program sees it.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli/Cli.h"
#include "common/Strings.h"
#include "common/Text.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"

namespace vx::cli {

namespace {

// The size in the largest unit that fits: "232 GB", "16 MB", "700 KB", "512".
std::string ShortSize(uint64_t bytes) {
    if (bytes > (1ull << 30)) return Format("%llu GB", (unsigned long long)(bytes >> 30));
    if (bytes > (1ull << 20)) return Format("%llu MB", (unsigned long long)(bytes >> 20));
    if (bytes > 1024) return Format("%llu KB", (unsigned long long)(bytes >> 10));
    return Format("%llu", (unsigned long long)bytes);
}

std::string DriveJson(CVolume& v) {
    const CVolume* parent = v.ParentVolume();
    return Format("{\"id\": %d, \"parent_id\": %d, \"display_name\": %s, \"device_path\": %s, \"kind\": %s, "
                  "\"type\": %s, \"drive_type\": %u, \"fs_name\": %s, \"type_code\": %u, \"label\": %s, "
                  "\"total_bytes\": %llu, \"free_bytes\": %llu, \"mount_point\": %s, \"state\": %s, "
                  "\"partition_name\": %s, \"partition_type_guid\": %s}",
                  v.Id(), parent ? parent->Id() : v.Id(), JsonString(v.DisplayName()).c_str(),
                  JsonString(v.DevicePath()).c_str(), JsonString(VolumeKindText(v.kind)).c_str(),
                  JsonString(DriveTypeText(v.driveType)).c_str(), v.driveType, JsonString(v.fileSystemName).c_str(),
                  v.typeCode, JsonString(TrimSpaces(v.label)).c_str(), (unsigned long long)v.totalBytes,
                  (unsigned long long)v.freeBytes, JsonString(v.mountPoint).c_str(),
                  JsonString(VolumeStateText(v.state.load())).c_str(), JsonString(v.partitionName).c_str(),
                  JsonString(v.partitionTypeGuid).c_str());
}

}  // namespace

int CmdDrives(const Args& args) {
    if (!Positionals(args).empty()) return UsageError("drives takes no SOURCE");
    CLocalComputer& computer = Computer();
    computer.Volumes().Rescan();
    std::vector<CVolume*> volumes = computer.Volumes().Snapshot();
    if (HasFlag(args, "--json")) {
        for (CVolume* v : volumes) {
            if (v->state.load() == VolumeState::QueryInformation) {
                std::printf("{\"id\": %d, \"display_name\": %s, \"device_path\": %s, \"kind\": %s, \"type\": %s, "
                            "\"fs_name\": \"\", \"total_bytes\": 0, \"state\": \"Query Information\"}\n",
                            v->Id(), JsonString(v->kernelName).c_str(), JsonString(v->DevicePath()).c_str(),
                            JsonString(VolumeKindText(v->kind)).c_str(), JsonString(DriveTypeText(v->driveType)).c_str());
                continue;
            }
            std::printf("%s\n", DriveJson(*v).c_str());
        }
        return kExitOk;
    }
    struct Row {
        std::string cells[8];
    };
    std::vector<Row> rows{{{"NAME", "DEVICE", "KIND", "TYPE", "FILE SYSTEM", "SIZE", "STATE", "PARTITION"}}};
    for (CVolume* v : volumes) {
        if (v->state.load() == VolumeState::QueryInformation) {
            // Still being queried: only what the probe itself set.
            rows.push_back({{(v->ParentVolume() ? "  " : "") + v->kernelName, v->DevicePath(),
                             VolumeKindText(v->kind), DriveTypeText(v->driveType), "", "",
                             VolumeStateText(VolumeState::QueryInformation), ""}});
            continue;
        }
        std::string name = v->DisplayName();
        if (v->ParentVolume()) name = "  " + name;  // partitions under their disk
        rows.push_back({{name, v->DevicePath(), VolumeKindText(v->kind), DriveTypeText(v->driveType),
                         v->fileSystemName, ShortSize(v->totalBytes), VolumeStateText(v->state.load()),
                         PartitionText(*v)}});
    }
    size_t width[8] = {};
    for (const Row& r : rows)
        for (size_t c = 0; c < 8; ++c) width[c] = std::max(width[c], r.cells[c].size());
    for (const Row& r : rows) {
        std::string line;
        for (size_t c = 0; c < 8; ++c) {
            std::string cell = r.cells[c];
            if (c + 1 < 8) cell.resize(width[c] + 2, ' ');
            line += cell;
        }
        std::printf("%s\n", line.c_str());
    }
    if (volumes.empty()) std::fprintf(stderr, "vornex-cli: no drives found\n");
    return kExitOk;
}

}  // namespace vx::cli
