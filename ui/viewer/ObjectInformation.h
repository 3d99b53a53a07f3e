#pragma once
// The object information fields: what the "Information" panel of the data
// viewer and the explorer's File Information dialog show for one object.
#include <QIcon>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

#include "fs/FoundObject.h"

namespace vx {

class CVolume;

struct ObjectInformation {
    QIcon icon;
    QString name;
    // Label and value, in the order shown ("Status:", "Deleted"), ...
    std::vector<std::pair<QString, QString>> rows;
};

ObjectInformation DescribeObject(const CVolume& volume, const FoundObject& object);

// A Windows file time as the local date and time, or "unknown" for 0.
QString FileTimeText(uint64_t fileTime);
// The size rounded up to whole clusters (unchanged when already a multiple).
uint64_t SizeOnDisk(uint64_t size, uint32_t clusterBytes);
// Icons of live and deleted files and folders.
QIcon ObjectIcon(bool folder, bool deleted);

}  // namespace vx
