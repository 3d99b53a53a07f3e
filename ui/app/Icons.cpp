#include "ui/app/Icons.h"

#include <QFile>
#include <QPixmap>

#include <mutex>

// The program's pictures live in a static library, whose resources register
// only when asked (outside any namespace, as the macro needs).
static void RegisterAppResources() { Q_INIT_RESOURCE(app); }

namespace vx {

void EnsureAppResources() {
    static std::once_flag once;
    std::call_once(once, RegisterAppResources);
}

void SetUpIconTheme() {
    EnsureAppResources();
    if (!QIcon::themeName().isEmpty() && QIcon::themeName() != "hicolor") return;
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains("/usr/share/icons")) paths << "/usr/share/icons";
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName("Adwaita");
}

QImage GreyImage(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const int r = qRed(p), g = qGreen(p), b = qBlue(p);
            if (r == 0 && g == 0 && b == 0) continue;
            const int level = (299 * r + 587 * g + 114 * b) / 1000;
            line[x] = qRgba(level, level, level, qAlpha(p));
        }
    }
    return out;
}

QIcon CommandIcon(const char* name) {
    if (!name) return {};
    EnsureAppResources();
    const QString fallback = QString(":/app/icons/%1.png").arg(name);
    QIcon source = QIcon::fromTheme(name);
    if (source.isNull()) source = QIcon(fallback);
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pixmap = source.pixmap(size, size);
        if (pixmap.isNull()) continue;
        icon.addPixmap(pixmap, QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(GreyImage(pixmap.toImage())), QIcon::Disabled);
    }
    return icon;
}

QIcon ProgramIcon() {
    EnsureAppResources();
    QIcon icon(":/app/vornex.png");
    icon.addFile(":/app/vornex-48.png");
    return icon;
}

}  // namespace vx
