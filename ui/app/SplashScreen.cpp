#include "ui/app/SplashScreen.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "ui/app/Icons.h"

namespace vx {

// Qt draws widgets on the user-interface thread only, so the splash runs
// there too; its own timer closes it while the program starts behind it.
CSplashScreen::CSplashScreen(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_((EnsureAppResources(), QString(":/app/splash.png"))) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(picture_.size());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    QTimer::singleShot(kShowMs, this, &QWidget::close);
}

void CSplashScreen::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, picture_);
}

void CSplashScreen::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) close();
}

}  // namespace vx
