#pragma once
// The splash screen: the program's picture, borderless and centred on the
// screen, gone after 2511 ms or at the first mouse click.
#include <QWidget>

namespace vx {

class CSplashScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr int kShowMs = 2511;
    explicit CSplashScreen(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    QPixmap picture_;
};

}  // namespace vx
