#include "ui/explorer/ObjectIcons.h"

#include <QPainter>
#include <QPixmap>
#include <array>

#include "device/Volume.h"
#include "fs/FoundObject.h"

namespace vx {

namespace {

enum class Mark { None, Deleted, ContainsDeleted, Lost, SeenAgain, DeletedSeenAgain };

struct ImageSource {
    const char* themeName;
    const char* fallback;  // file below :/explorer/icons/
    Mark mark;
};

// In image-list order.
constexpr std::array<ImageSource, kImageCount> kImages = {{
    {"text-x-generic", "text-x-generic", Mark::None},
    {"text-x-generic", "text-x-generic", Mark::Deleted},
    {"folder", "folder", Mark::None},
    {"folder-open", "folder-open", Mark::None},
    {"folder", "folder", Mark::ContainsDeleted},
    {"folder-open", "folder-open", Mark::ContainsDeleted},
    {"folder", "folder", Mark::Deleted},
    {"folder-open", "folder-open", Mark::Deleted},
    {"folder-saved-search", "folder-saved-search", Mark::Lost},
    {"folder-saved-search", "folder-saved-search", Mark::Lost},
    {"text-x-generic", "text-x-generic", Mark::SeenAgain},
    {"text-x-generic", "text-x-generic", Mark::DeletedSeenAgain},
    {"computer", "computer", Mark::None},
    {"user-trash", "user-trash", Mark::None},
    {"drive-harddisk", "drive-harddisk", Mark::None},
    {"drive-harddisk", "drive-harddisk", Mark::None},
    {"media-optical", "media-optical", Mark::None},
    {"media-removable", "media-removable", Mark::None},
    {"drive-harddisk", "drive-harddisk", Mark::Lost},
    {"drive-removable-media", "drive-removable-media", Mark::None},
    {"drive-harddisk", "drive-harddisk", Mark::SeenAgain},
}};

void DrawCross(QPainter& p) {
    p.setPen(QPen(QColor(200, 0, 0), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
    p.drawLine(QPointF(14.5, 9.5), QPointF(9.5, 14.5));
}

void DrawDot(QPainter& p, const QColor& color, QPointF centre) {
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(color);
    p.drawEllipse(centre, 3.2, 3.2);
}

QPixmap Marked(const QPixmap& base, Mark mark) {
    QPixmap out(16, 16);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(0, 0, base.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    switch (mark) {
        case Mark::Deleted: DrawCross(p); break;
        case Mark::ContainsDeleted: DrawDot(p, QColor(230, 130, 0), {12.5, 12.5}); break;
        case Mark::Lost: DrawDot(p, QColor(120, 120, 120), {12.5, 12.5}); break;
        case Mark::SeenAgain: DrawDot(p, QColor(30, 100, 220), {3.5, 12.5}); break;
        case Mark::DeletedSeenAgain:
            DrawCross(p);
            DrawDot(p, QColor(30, 100, 220), {3.5, 12.5});
            break;
        case Mark::None: break;
    }
    return out;
}

}  // namespace

void UseDesktopIconTheme() {
    static const bool once = [] {
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
            QStringList paths = QIcon::themeSearchPaths();
            if (!paths.contains(QStringLiteral("/usr/share/icons"))) paths << QStringLiteral("/usr/share/icons");
            QIcon::setThemeSearchPaths(paths);
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        }
        return true;
    }();
    (void)once;
}

const QIcon& ImageIcon(int image) {
    static std::array<QIcon, kImageCount> icons;
    if (image < 0 || image >= kImageCount) image = kImageFile;
    QIcon& icon = icons[size_t(image)];
    if (icon.isNull()) {
        UseDesktopIconTheme();
        const ImageSource& source = kImages[size_t(image)];
        const QIcon fallback(QStringLiteral(":/explorer/icons/%1.png").arg(QLatin1String(source.fallback)));
        const QIcon themed = QIcon::fromTheme(QLatin1String(source.themeName), fallback);
        QPixmap base = themed.pixmap(16, 16);
        if (base.isNull()) base = fallback.pixmap(16, 16);
        icon = QIcon(Marked(base, source.mark));
    }
    return icon;
}

int ImageOfDrive(const CVolume& volume) {
    switch (volume.kind) {
        case VolumeKind::Physical: return volume.driveType == kDriveRemovable ? kImageRemovable : kImagePhysical;
        case VolumeKind::Logical:
            if (volume.rootRecord.Is(object_flag::SeenAgain)) return kImageLogicalSeenAgain;
            return volume.driveType == kDriveRemovable ? kImageRemovable : kImageLogical;
        case VolumeKind::Virtual: return kImageVirtual;
        case VolumeKind::Image: return kImageImage;
        case VolumeKind::Found: return kImageFound;
        case VolumeKind::ComputerNode: return kImageComputer;
        case VolumeKind::RecycleBinNode: return kImageRecycleBin;
    }
    return kImageLogical;
}

int ImageOf(const FoundObject& object, int32_t rootId, bool expanded) {
    if (object.IsFolder()) {
        int image = kImageFolder;
        if (object.id == rootId && object.parent < 0) return kImageOpenFolder;
        if (object.parent == object_id::LostFiles) return kImageDeletedFolder;
        if (object.id == object_id::LostFolders || object.parent == object_id::LostFolders) image = kImageLostFolder;
        else if (object.IsDeleted()) image = kImageDeletedFolder;
        else if (object.Is(object_flag::ContainsDeleted)) image = kImageFolderWithDeleted;
        return expanded ? image + 1 : image;
    }
    const bool again = object.Is(object_flag::SeenAgain);
    if (object.IsDeleted()) return again ? kImageDeletedFileSeenAgain : kImageDeletedFile;
    return again ? kImageFileSeenAgain : kImageFile;
}

}  // namespace vx
