#include "ui/viewer/ObjectInformation.h"

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QMimeDatabase>
#include <QPainter>
#include <QStyle>

#include "common/Strings.h"
#include "device/Volume.h"
#include "fs/ObjectPath.h"
#include "fs/ObjectTypes.h"
#include "signatures/FileTypeDatabase.h"

namespace vx {

namespace {

QString S(int id) { return QString::fromUtf8(LoadString(id)); }

// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr uint64_t kUnixEpochFileTime = 116444736000000000ull;

QString TypeText(const FoundObject& object) {
    if (object.IsFolder()) return S(str::Folder);
    if (!object.name || !*object.name) {
        const FileType* type = FileTypes().FindForObject(object);
        return type ? QString::fromStdString(type->Description()) : QString();
    }
    const QString name = QString::fromUtf8(object.name);
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    if (mime.isValid() && !mime.isDefault()) return mime.comment();
    return QString::fromStdString(ObjectTypeName(object));
}

}  // namespace

QString FileTimeText(uint64_t fileTime) {
    if (fileTime == 0 || fileTime < kUnixEpochFileTime / 2) return S(str::Unknown);
    const qint64 ms = qint64((int64_t(fileTime) - int64_t(kUnixEpochFileTime)) / 10000);
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms).toLocalTime();
    const QLocale locale;
    return locale.toString(local.date(), QLocale::ShortFormat) + ' ' +
           locale.toString(local.time(), QLocale::LongFormat).section(' ', 0, 0);
}

uint64_t SizeOnDisk(uint64_t size, uint32_t clusterBytes) {
    if (clusterBytes == 0) return size;
    return (size + clusterBytes - 1) / clusterBytes * clusterBytes;
}

QIcon ObjectIcon(bool folder, bool deleted) {
    QIcon base = QApplication::style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    if (!deleted) return base;
    QPixmap pixmap = base.pixmap(32, 32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 0, 0), 4));
    p.drawLine(14, 14, 30, 30);
    p.drawLine(30, 14, 14, 30);
    return QIcon(pixmap);
}

ObjectInformation DescribeObject(const CVolume& volume, const FoundObject& object) {
    ObjectInformation info;
    const bool folder = object.IsFolder();
    info.icon = ObjectIcon(folder, object.IsDeleted());
    info.name = object.IsVolumeNode() || !object.name ? QString() : QString::fromUtf8(object.name);
    auto add = [&](int label, const QString& value) { info.rows.emplace_back(S(label), value); };
    auto number = [](uint64_t v) { return QString::number(v); };
    add(str::InfoStatus, S(object.IsDeleted() ? str::StatusDeleted : str::StatusLive));
    add(str::InfoId, QString::number(object.id));
    add(str::InfoParentId, QString::number(object.parent));
    add(str::InfoName, info.name);
    add(str::InfoType, object.IsVolumeNode() ? QString() : TypeText(object));
    add(str::InfoLocation, QString::fromStdString(volume.ObjectFolderPath(object)));
    add(str::InfoOffset, folder ? "0" : number(object.start));
    if (folder) {
        add(str::InfoSize, "0");
        add(str::InfoSizeOnDisk, "0");
    } else if (!object.SizeKnown()) {
        add(str::InfoSize, S(str::Unknown));
        add(str::InfoSizeOnDisk, S(str::Unknown));
    } else {
        add(str::InfoSize, number(object.size));
        add(str::InfoSizeOnDisk, number(SizeOnDisk(object.size, volume.bytesPerCluster)));
    }
    add(str::InfoCreated, FileTimeText(object.created));
    add(str::InfoModified, FileTimeText(object.modified));
    add(str::InfoAccessed, FileTimeText(object.accessed));
    return info;
}

}  // namespace vx
