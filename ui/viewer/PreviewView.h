#pragma once
// The "Preview" page of the data viewer: the selected file as an image (any
// format Qt reads), as plain text (its first 64 KiB, UTF-8, UTF-16 or CP1252
// guessed), or "no preview".
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace vx {

class IByteSource;

struct Preview {
    enum class Kind { None, Image, Text };
    Kind kind = Kind::None;
    QImage image;
    QString text;
};

// What the bytes look like: an image when Qt reads them as one, else text
// when the start decodes as text, else none.
Preview MakePreview(const QByteArray& bytes);
// The text of bytes that look like text (BOMs, UTF-16 by its zero bytes,
// valid UTF-8, else CP1252); a null string when they look binary.
QString GuessText(const QByteArray& bytes);

class CPreviewView : public QWidget {
    Q_OBJECT
public:
    explicit CPreviewView(QWidget* parent = nullptr);
    // Reads what a preview needs from the source (at most kMaxImageBytes).
    void ShowSource(IByteSource* source);
    void Clear();
    const Preview& Current() const { return preview_; }

    static constexpr qint64 kTextBytes = 64 * 1024;
    static constexpr qint64 kMaxImageBytes = 32 * 1024 * 1024;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowImage();

    Preview preview_;
    QStackedWidget* stack_;
    QLabel* image_;
    QPlainTextEdit* text_;
    QLabel* none_;
};

}  // namespace vx
