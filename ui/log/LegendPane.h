#pragma once
// The legend pane at the bottom of the main window: a caption bar drawn
// along its left edge with a close button, and the legend page of the media
// folder in an HTML view.
#include <QTextBrowser>
#include <QWidget>

class QToolButton;

namespace vx {

// The legend page, "media/legend.html" of the program's media folder.
class CLegendView : public QTextBrowser {
    Q_OBJECT
public:
    explicit CLegendView(QWidget* parent = nullptr);
    void Load();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A pane with a vertical caption along its left edge and a close button.
class CVerticalCaptionPane : public QWidget {
    Q_OBJECT
public:
    CVerticalCaptionPane(const QString& caption, QWidget* client, QWidget* parent = nullptr);
    QWidget* Client() const { return client_; }
    QToolButton* CloseButton() const { return close_; }

signals:
    void CloseRequested();

private:
    QWidget* client_;
    QToolButton* close_;
};

class CLegend_Pane : public CVerticalCaptionPane {
    Q_OBJECT
public:
    explicit CLegend_Pane(QWidget* parent = nullptr);
    CLegendView* View() const { return view_; }

private:
    CLegendView* view_;
};

}  // namespace vx
