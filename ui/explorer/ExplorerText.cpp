#include "ui/explorer/ExplorerText.h"

#include <QDateTime>
#include <QLocale>

#include "common/Strings.h"
#include "fs/FatTime.h"
#include "fs/FoundObject.h"

namespace vx {

QString SizeText(uint64_t size, bool folder) {
    if (folder) return {};
    if (size == kSizeUnknown) return QString::fromUtf8(LoadString(str::Unknown));
    if (size > 0x40000000ull) return QString::fromStdString(Format("%llu GB", (unsigned long long)(size >> 30)));
    if (size > 0x100000ull) return QString::fromStdString(Format("%llu MB", (unsigned long long)(size >> 20)));
    if (size > 1024) return QString::fromStdString(Format("%llu KB", (unsigned long long)(size >> 10)));
    return QString::number(size);
}

QString SizeText(const FoundObject& object) { return SizeText(object.size, object.IsFolder()); }

QString DateText(uint64_t fileTime) {
    if (fileTime == 0) return {};
    const QDateTime local = QDateTime::fromSecsSinceEpoch(FileTimeToUnixSeconds(fileTime), Qt::LocalTime);
    const QLocale locale;
    return QStringLiteral("%1 %2").arg(locale.toString(local.date(), QLocale::ShortFormat),
                                       locale.toString(local.time(), QLocale::ShortFormat));
}

QString DateTextOrUnknown(uint64_t fileTime) {
    return fileTime ? DateText(fileTime) : QString::fromUtf8(LoadString(str::Unknown));
}

QString NameText(const FoundObject& object) {
    if (object.IsVolumeNode() || !object.name) return {};
    return QString::fromUtf8(object.name);
}

}  // namespace vx
