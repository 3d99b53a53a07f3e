#include "ui/viewer/PreviewView.h"

#include <QBuffer>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QVBoxLayout>

#include <algorithm>

#include "common/Strings.h"
#include "common/Text.h"
#include "ui/viewer/ByteSource.h"

namespace vx {

namespace {

bool LooksBinary(const QString& text) {
    int control = 0;
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (u == 0 || (u < 32 && u != '\t' && u != '\n' && u != '\r' && u != '\f')) ++control;
    }
    return control > text.size() / 100;  // a stray control character or two is still text
}

}  // namespace

QString GuessText(const QByteArray& raw) {
    if (raw.isEmpty()) return {};
    QByteArray bytes = raw.left(CPreviewView::kTextBytes);
    auto decode = [&](QStringConverter::Encoding encoding, int skip) {
        QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
        QString text = decoder(bytes.mid(skip));
        return decoder.hasError() ? QString() : text;
    };
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) text = decode(QStringConverter::Utf8, 3);
    else if (bytes.startsWith("\xFF\xFE")) text = decode(QStringConverter::Utf16LE, 2);
    else if (bytes.startsWith("\xFE\xFF")) text = decode(QStringConverter::Utf16BE, 2);
    else {
        // UTF-16 without a mark: every other byte zero (ASCII-range text).
        int evenZero = 0, oddZero = 0;
        const int pairs = int(bytes.size() / 2);
        for (int i = 0; i + 1 < bytes.size(); i += 2) {
            evenZero += bytes[i] == 0;
            oddZero += bytes[i + 1] == 0;
        }
        if (pairs >= 2 && oddZero * 10 > pairs * 8 && evenZero * 10 <= pairs) text = decode(QStringConverter::Utf16LE, 0);
        else if (pairs >= 2 && evenZero * 10 > pairs * 8 && oddZero * 10 <= pairs)
            text = decode(QStringConverter::Utf16BE, 0);
        else {
            // A multi-byte character cut at the 64 KiB edge is not an error.
            QByteArray head = bytes;
            int cut = 0;
            while (cut < 3 && cut < head.size() && (uchar(head[head.size() - 1 - cut]) & 0xC0) == 0x80) ++cut;
            if (cut < head.size() && uchar(head[head.size() - 1 - cut]) >= 0xC0) head.chop(cut + 1);
            QStringDecoder utf8(QStringConverter::Utf8, QStringDecoder::Flag::Stateless);
            text = utf8(head);
            if (utf8.hasError())
                text = QString::fromStdString(CodePageToUtf8(
                    ByteSpan(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())), "CP1252"));
        }
    }
    if (text.isNull() || LooksBinary(text)) return {};
    return text;
}

Preview MakePreview(const QByteArray& bytes) {
    Preview preview;
    if (bytes.isEmpty()) return preview;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (reader.canRead()) {
        QImage image = reader.read();
        if (!image.isNull()) {
            preview.kind = Preview::Kind::Image;
            preview.image = std::move(image);
            return preview;
        }
    }
    preview.text = GuessText(bytes);
    if (!preview.text.isNull()) preview.kind = Preview::Kind::Text;
    return preview;
}

CPreviewView::CPreviewView(QWidget* parent) : QWidget(parent) {
    stack_ = new QStackedWidget(this);
    image_ = new QLabel(stack_);
    image_->setAlignment(Qt::AlignCenter);
    image_->setMinimumSize(1, 1);
    text_ = new QPlainTextEdit(stack_);
    text_->setReadOnly(true);
    none_ = new QLabel(QString::fromUtf8(LoadString(str::NoPreview)), stack_);
    none_->setAlignment(Qt::AlignCenter);
    stack_->addWidget(none_);
    stack_->addWidget(image_);
    stack_->addWidget(text_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);
}

void CPreviewView::Clear() {
    preview_ = Preview();
    image_->clear();
    text_->clear();
    stack_->setCurrentWidget(none_);
}

void CPreviewView::ShowSource(IByteSource* source) {
    Clear();
    if (!source || source->Size() == 0) return;
    const qint64 want = qint64(std::min<uint64_t>(source->Size(), uint64_t(kMaxImageBytes)));
    // The head decides; an image is read whole only when the head says it is one.
    QByteArray head(int(std::min<qint64>(want, kTextBytes)), '\0');
    head.resize(qsizetype(source->Read(0, reinterpret_cast<uint8_t*>(head.data()), size_t(head.size()))));
    QBuffer probe(&head);
    probe.open(QIODevice::ReadOnly);
    QByteArray bytes = head;
    if (!QImageReader::imageFormat(&probe).isEmpty() && want > head.size()) {
        bytes.resize(want);
        bytes.resize(qsizetype(source->Read(0, reinterpret_cast<uint8_t*>(bytes.data()), size_t(want))));
    }
    preview_ = MakePreview(bytes);
    switch (preview_.kind) {
        case Preview::Kind::Image:
            ShowImage();
            stack_->setCurrentWidget(image_);
            break;
        case Preview::Kind::Text:
            text_->setPlainText(preview_.text);
            stack_->setCurrentWidget(text_);
            break;
        case Preview::Kind::None:
            break;
    }
}

void CPreviewView::ShowImage() {
    if (preview_.kind != Preview::Kind::Image) return;
    QPixmap pixmap = QPixmap::fromImage(preview_.image);
    const QSize room = stack_->size().boundedTo(pixmap.size());
    if (room.isValid() && pixmap.size() != room) pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image_->setPixmap(pixmap);
}

void CPreviewView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ShowImage();
}

}  // namespace vx
