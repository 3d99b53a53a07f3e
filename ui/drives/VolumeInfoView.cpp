#include "ui/drives/VolumeInfoView.h"

#include <QHeaderView>

#include "common/Strings.h"
#include "device/Volume.h"
#include "ui/images/CreatingImageDlg.h"

namespace vx {

std::string TotalSpaceText(uint64_t total) {
    std::string unit;
    if (total > 1073741824ull) unit = Format("%llu GB", (unsigned long long)(total >> 30));
    else if (total > 1048576ull) unit = Format("%llu MB", (unsigned long long)(total >> 20));
    else if (total > 1024) unit = Format("%llu KB", (unsigned long long)(total / 1024));
    return unit + " (" + GroupDigits(total) + " bytes)";
}

std::string SerialText(uint32_t high, uint32_t low) {
    return high ? Format("%X%X", high, low) : Format("%X", low);
}

const char* MediaTypeText(uint32_t mediaType) {
    static const char* const texts[] = {
        "",
        "5.25\" floppy, with 1.2MB and 512 bytes/sector",
        "3.5\" floppy, with 1.44MB and 512 bytes/sector",
        "3.5\" floppy, with 2.88MB and 512 bytes/sector",
        "3.5\" floppy, with 20.8MB and 512 bytes/sector",
        "3.5\" floppy, with 720KB and 512 bytes/sector",
        "5.25\" floppy, with 360KB and 512 bytes/sector",
        "5.25\" floppy, with 320KB and 512 bytes/sector",
        "5.25\" floppy, with 320KB and 1024 bytes/sector",
        "5.25\" floppy, with 180KB and 512 bytes/sector",
        "5.25\" floppy, with 160KB and 512 bytes/sector",
        "Removable media other than floppy",
        "Fixed hard disk",
        "3.5\" floppy, with 120MB and 512 bytes/sector",
        "3.5\" floppy, with 640MB and 512 bytes/sector",
        "5.25\" floppy, with 640KB and 512 bytes/sector",
        "5.25\" floppy, with 720KB and 512 bytes/sector",
        "3.5\" floppy, with 1.2MB and 512 bytes/sector",
        "3.5\" floppy, with 1.23MB and 1024 bytes/sector",
        "5.25\" floppy, with 1.23KB and 1024 bytes/sector",
        "3.5\" floppy, with 128MB and 512 bytes/sector",
        "3.5\" floppy, with 230MB and 512 bytes/sector",
        "8\" floppy, with 256KB and 128 bytes/sector",
        "3.5\" floppy, with 200MB and 512 bytes/sector (HiFD)",
        "3.5\" floppy, with 240MB and 512 bytes/sector (HiFD)",
        "3.5\" floppy, with 32MB and 512 bytes/sector",
    };
    return mediaType < sizeof texts / sizeof texts[0] ? texts[mediaType] : "";
}

std::vector<std::pair<std::string, std::string>> VolumeInfoRows(CVolume& v) {
    std::vector<std::pair<std::string, std::string>> rows;
    auto add = [&](const std::string& name, const std::string& value) { rows.emplace_back(name, value); };
    auto number = [](uint64_t n) { return Format("%llu", (unsigned long long)n); };
    auto letter = [&] {
        return uint8_t(v.letter) >= 64 ? std::string(1, v.letter) : Format("%d", int(v.letter) - 48);
    };
    add(" ", "");
    add(" Type", DriveTypeText(v.driveType));
    add(" Category", VolumeKindText(v.kind));
    add(" ", "");
    add(" System Path", v.DevicePath());
    if (v.totalBytes > 0) add(" Total Space", TotalSpaceText(v.totalBytes));
    switch (v.kind) {
        case VolumeKind::Physical:
            add(" Device Number", letter());
            add(" Media Type", MediaTypeText(v.geometry.mediaType));
            if (v.geometry.cylinders != 0) {
                add(" ", "");
                add(" Drive Geometry:", "");
                add(" Cylinders", number(v.geometry.cylinders));
                add(" Tracks Per Cylinder", number(v.geometry.tracksPerCylinder));
                add(" Sectors Per Track", number(v.geometry.sectorsPerTrack));
                add(" Bytes Per Sector", number(v.bytesPerSector));
            }
            break;
        case VolumeKind::Logical:
            add(" Drive Letter", v.letter ? letter() : v.kernelName);
            [[fallthrough]];
        case VolumeKind::Image:
        case VolumeKind::Found:
        case VolumeKind::Virtual: {
            if (v.fileSystemName == "Unknown")
                v.SetFileSystemName(v.typeCode ? v.typeCode : CVolume::DetectFileSystem(v.bootBuffer.data()));
            add(" Label", v.label);
            add(" File System", v.fileSystemName);
            add(" ", "");
            add(" Cluster size", number(uint64_t(v.sectorsPerCluster) * v.bytesPerSector));
            add(" Total Clusters", number(v.totalClusters));
            add(" Total Sectors", number(v.totalSectors));
            break;
        }
        default:
            break;
    }
    if (v.serialNumber != 0) add(" Serial Number", SerialText(v.serialNumberHigh, v.serialNumber));
    add(" ", "");
    add(" State", VolumeStateText(v.state.load()));
    return rows;
}

CVolumeInfoView::CVolumeInfoView(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setHeaderLabels({QString::fromUtf8(LoadString(str::InfoProperty)), QString::fromUtf8(LoadString(str::InfoValue))});
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
}

void CVolumeInfoView::Show(CVolume* volume) {
    clear();
    if (!volume) return;
    for (const auto& [name, value] : VolumeInfoRows(*volume))
        addTopLevelItem(new QTreeWidgetItem({QString::fromStdString(name), QString::fromStdString(value)}));
}

QString CVolumeInfoView::Value(const QString& name) const {
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->text(0) == name) return topLevelItem(i)->text(1);
    return {};
}

}  // namespace vx
