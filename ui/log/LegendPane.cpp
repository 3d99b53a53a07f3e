#include "ui/log/LegendPane.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "common/Strings.h"
#include "platform/MediaFolder.h"

namespace vx {

namespace {

// The caption text, drawn bottom to top.
class CVerticalCaption : public QWidget {
public:
    CVerticalCaption(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
        setFixedWidth(fontMetrics().height() + 8);
        setMinimumHeight(fontMetrics().horizontalAdvance(text_) + 40);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Mid).lighter(130));
        p.setPen(palette().color(QPalette::WindowText));
        p.translate(0, height());
        p.rotate(-90);
        p.drawText(QRect(4, 0, height() - 8, width()), Qt::AlignLeft | Qt::AlignVCenter, text_);
    }

private:
    QString text_;
};

}  // namespace

CLegendView::CLegendView(QWidget* parent) : QTextBrowser(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        if (url.scheme() == "http" || url.scheme() == "https") QDesktopServices::openUrl(url);
    });
    Load();
}

void CLegendView::Load() {
    const QString page = QString::fromStdString(MediaFolder()) + "/legend.html";
    // Without the page the view says so, as a browser would.
    if (QFileInfo::exists(page)) setSource(QUrl::fromLocalFile(page));
    else setHtml(QString("<h3>Page not found</h3><p>%1</p>").arg(page.toHtmlEscaped()));
}

void CLegendView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) return;
    QTextBrowser::mouseReleaseEvent(event);
}

CVerticalCaptionPane::CVerticalCaptionPane(const QString& caption, QWidget* client, QWidget* parent)
    : QWidget(parent), client_(client) {
    auto* bar = new QWidget(this);
    auto* barLayout = new QVBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(0);
    close_ = new QToolButton(bar);
    close_->setAutoRaise(true);
    close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close_->setIconSize(QSize(10, 10));
    barLayout->addWidget(close_, 0, Qt::AlignHCenter);
    barLayout->addWidget(new CVerticalCaption(caption, bar), 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(bar);
    client->setParent(this);
    layout->addWidget(client, 1);
    connect(close_, &QToolButton::clicked, this, &CVerticalCaptionPane::CloseRequested);
}

CLegend_Pane::CLegend_Pane(QWidget* parent)
    : CVerticalCaptionPane(LoadString(str::LegendCaption), new CLegendView, parent),
      view_(static_cast<CLegendView*>(Client())) {}

}  // namespace vx
