#include "ui/viewer/HexEditorCtrl.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

#include "common/Strings.h"

namespace vx {

namespace {

constexpr int kBytesPerLine = 16;
constexpr int kHexChars = 49;   // " %02X" sixteen times and one blank after the eighth
constexpr int kGapChars = 2;
constexpr uint64_t kLargeCopy = 65536;
// Scroll bar steps when the lines outnumber them: the bar is scaled.
constexpr int kScrollSteps = 1 << 30;
const QColor kOffsetColour(0, 0, 200);
const QColor kRuleColour(200, 200, 200);

bool Printable(uint8_t b) { return b >= 32 && b < 127; }

}  // namespace

std::pair<int64_t, int64_t> ClampSelection(int64_t anchor, int64_t end, uint64_t size) {
    if (size == 0) return {-1, -1};
    const int64_t n = int64_t(std::min<uint64_t>(size, uint64_t(INT64_MAX)));
    if (end == -1) end = n;
    if (anchor < 0) anchor = 0;
    if (end < 0) end = 0;
    if (anchor == end && anchor >= n) anchor = end = n - 1;
    if (end > n) end = n;
    if (anchor >= n) anchor = n - 1;
    return {anchor, end};
}

CHexEditorCtrl::CHexEditorCtrl(bool header, QWidget* parent) : QAbstractScrollArea(parent), header_(header) {
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font_ = fixed;
    font_.setFamilies({header ? QStringLiteral("Courier") : QStringLiteral("Lucida Console"), fixed.family()});
    font_.setStyleHint(QFont::Monospace);
    font_.setFixedPitch(true);
    QFontMetrics metrics(font_);
    charWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    lineHeight_ = std::max(1, metrics.height());
    viewport()->setFont(font_);
    viewport()->setCursor(Qt::IBeamCursor);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    confirmLargeCopy = [this] {
        return QMessageBox::question(this, QString::fromUtf8(LoadString(str::LargeCopyCaption)),
                                     QString::fromUtf8(LoadString(str::LargeCopyQuestion)),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    UpdateScrollBar();
}

CHexEditorCtrl::~CHexEditorCtrl() = default;

void CHexEditorCtrl::ResetState() {
    undo_.clear();
    topLine_ = 0;
    anchor_ = end_ = -1;
    nibble_ = 0;
    UpdateScrollBar();
    viewport()->update();
}

void CHexEditorCtrl::SetMemory(uint8_t* block, uint64_t size) {
    SetSource(std::make_shared<CMemoryByteSource>(block, size));
}

bool CHexEditorCtrl::SetFile(const QString& path) {
    std::shared_ptr<IByteSource> source = CMappedFileByteSource::Open(path);
    SetSource(source);
    return source != nullptr;
}

void CHexEditorCtrl::SetSource(std::shared_ptr<IByteSource> source) {
    source_ = std::move(source);
    ResetState();
}

uint64_t CHexEditorCtrl::DataSize() const { return source_ ? source_->Size() : 0; }

QString CHexEditorCtrl::Caption() const { return source_ ? source_->Caption() : QString(); }

int CHexEditorCtrl::OffsetDigits() const {
    int digits = 8;
    for (uint64_t last = DataSize() ? DataSize() - 1 : 0; (last >> (4 * digits)) != 0 && digits < 16;) ++digits;
    return digits;
}

int CHexEditorCtrl::HexColumn(int byte) const { return OffsetDigits() + 1 + 3 * byte + (byte >= 8 ? 1 : 0) + 1; }

int CHexEditorCtrl::TextColumn(int byte) const { return OffsetDigits() + 1 + kHexChars + kGapChars + byte; }

int CHexEditorCtrl::HeaderHeight() const { return header_ ? lineHeight_ + 2 : 0; }

uint64_t CHexEditorCtrl::LineCount() const { return (DataSize() + kBytesPerLine - 1) / kBytesPerLine; }

int CHexEditorCtrl::VisibleLines() const {
    return std::max(1, (viewport()->height() - HeaderHeight()) / lineHeight_);
}

uint64_t CHexEditorCtrl::MaxTopLine() const {
    const int64_t max = int64_t(DataSize() / kBytesPerLine) - VisibleLines() + 1;
    return max > 0 ? uint64_t(max) : 0;
}

void CHexEditorCtrl::UpdateScrollBar() {
    settingBar_ = true;
    QScrollBar* bar = verticalScrollBar();
    const uint64_t max = MaxTopLine();
    topLine_ = std::min(topLine_, max);
    if (max <= uint64_t(kScrollSteps)) {
        bar->setRange(0, int(max));
        bar->setPageStep(VisibleLines());
        bar->setValue(int(topLine_));
    } else {
        bar->setRange(0, kScrollSteps);
        bar->setPageStep(std::max(1, int(uint64_t(kScrollSteps) * uint64_t(VisibleLines()) / max)));
        bar->setValue(int((unsigned __int128)topLine_ * kScrollSteps / max));
    }
    QScrollBar* horizontal = horizontalScrollBar();
    const int width = (TextColumn(kBytesPerLine) + 1) * charWidth_;
    horizontal->setRange(0, std::max(0, width - viewport()->width()));
    horizontal->setPageStep(viewport()->width());
    settingBar_ = false;
}

void CHexEditorCtrl::scrollContentsBy(int dx, int dy) {
    if (!settingBar_ && dy != 0) {
        const uint64_t max = MaxTopLine();
        const int value = verticalScrollBar()->value();
        topLine_ = max <= uint64_t(kScrollSteps) ? uint64_t(value)
                                                 : uint64_t((unsigned __int128)value * max / kScrollSteps);
    }
    viewport()->update();
}

void CHexEditorCtrl::SetTopLine(uint64_t line) {
    topLine_ = std::min(line, MaxTopLine());
    UpdateScrollBar();
    viewport()->update();
}

void CHexEditorCtrl::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBar();
}

void CHexEditorCtrl::EnsureVisible(int64_t offset) {
    if (offset < 0) return;
    const uint64_t line = uint64_t(offset) / kBytesPerLine;
    const uint64_t visible = uint64_t(VisibleLines());
    if (line < topLine_) SetTopLine(line);
    else if (line >= topLine_ + visible) SetTopLine(line - visible + 1);
}

void CHexEditorCtrl::Select(int64_t anchor, int64_t end) {
    auto [a, e] = ClampSelection(anchor, end, DataSize());
    anchor_ = a;
    end_ = e;
    nibble_ = 0;
    EnsureVisible(std::min<int64_t>(end_, int64_t(DataSize()) - 1));
    viewport()->update();
    emit SelectionChanged(anchor_, end_);
}

bool CHexEditorCtrl::ReadByte(uint64_t offset, uint8_t& value) {
    return source_ && source_->Read(offset, &value, 1) == 1;
}

void CHexEditorCtrl::WriteByte(uint64_t offset, uint8_t value) {
    uint8_t previous = 0;
    if (!ReadByte(offset, previous) || !source_->Writable()) return;
    if (source_->Write(offset, value)) undo_.emplace_back(offset, previous);
}

QString CHexEditorCtrl::LineText(uint64_t line) {
    const uint64_t first = line * kBytesPerLine;
    if (first >= DataSize()) return {};
    uint8_t bytes[kBytesPerLine];
    const size_t want = size_t(std::min<uint64_t>(kBytesPerLine, DataSize() - first));
    const size_t got = source_->Read(first, bytes, want);
    QString text = QStringLiteral("%1 ").arg(first, OffsetDigits(), 16, QLatin1Char('0')).toUpper();
    QString chars;
    for (int i = 0; i < kBytesPerLine; ++i) {
        if (i == 8) text += QLatin1Char(' ');
        if (size_t(i) < got) {
            text += QStringLiteral(" %1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
            chars += Printable(bytes[i]) ? QChar(bytes[i]) : QChar('.');
        } else if (size_t(i) < want) {
            text += QStringLiteral(" ??");
            chars += QLatin1Char(' ');
        } else {
            text += QStringLiteral("   ");
        }
    }
    return text + QStringLiteral("  ") + chars;
}

void CHexEditorCtrl::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QPalette& pal = palette();
    p.fillRect(viewport()->rect(), pal.base());
    if (!source_ || DataSize() == 0) return;
    p.setFont(font_);
    p.translate(-horizontalScrollBar()->value(), 0);
    const int cw = charWidth_, lh = lineHeight_;
    const int ascent = QFontMetrics(font_).ascent();
    const int digits = OffsetDigits();
    const int hexLeft = (digits + 1) * cw;
    const int textLeft = (TextColumn(0) - 1) * cw;
    const int right = (TextColumn(kBytesPerLine) + 1) * cw;
    const int bottom = viewport()->height();
    if (header_) {
        p.setPen(pal.color(QPalette::Text));
        const QString offset = QString::fromUtf8(LoadString(str::HexOffsetHeader));
        p.drawText(QRect(0, 0, hexLeft, lh), Qt::AlignHCenter | Qt::AlignVCenter, offset);
        p.drawText(hexLeft, ascent, QStringLiteral("  0  1  2  3  4  5  6  7   8  9  A  B  C  D  E  F"));
        p.setPen(kRuleColour);
        p.drawLine(0, lh + 1, right, lh + 1);
    }
    p.setPen(kRuleColour);
    p.drawLine(hexLeft, 0, hexLeft, bottom);
    p.drawLine(textLeft, 0, textLeft, bottom);

    const int64_t selFirst = std::min(anchor_, end_), selLast = std::max(anchor_, end_);
    const bool caret = CaretShown() && hasFocus();
    const int lines = VisibleLines() + 1;
    std::vector<uint8_t> block(size_t(lines) * kBytesPerLine);
    const uint64_t first = topLine_ * kBytesPerLine;
    const size_t want = size_t(std::min<uint64_t>(block.size(), DataSize() - std::min(first, DataSize())));
    const size_t got = want ? source_->Read(first, block.data(), want) : 0;
    for (int row = 0; row < lines; ++row) {
        const uint64_t lineStart = first + uint64_t(row) * kBytesPerLine;
        if (lineStart >= DataSize()) break;
        const int y = HeaderHeight() + row * lh;
        p.setPen(kOffsetColour);
        p.drawText(0, y + ascent, QStringLiteral("%1").arg(lineStart, digits, 16, QLatin1Char('0')).toUpper());
        for (int i = 0; i < kBytesPerLine; ++i) {
            const uint64_t at = lineStart + uint64_t(i);
            if (at >= DataSize()) break;
            const size_t index = size_t(row) * kBytesPerLine + size_t(i);
            const bool have = index < got;
            const uint8_t b = have ? block[index] : 0;
            const bool selected = int64_t(at) >= selFirst && int64_t(at) < selLast;
            const QRect hexCell(HexColumn(i) * cw, y, 2 * cw, lh);
            const QRect textCell(TextColumn(i) * cw, y, cw, lh);
            for (bool textSide : {false, true}) {
                const QRect& cell = textSide ? textCell : hexCell;
                QColor fore = pal.color(QPalette::Text);
                if (selected) {
                    const bool active = textSide == textSide_;
                    p.fillRect(cell, active ? pal.highlight() : pal.button());
                    fore = active ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::ButtonText);
                }
                p.setPen(fore);
                QString s = textSide ? QString(have ? (Printable(b) ? QChar(b) : QChar('.')) : QChar(' '))
                                     : (have ? QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper()
                                             : QStringLiteral("??"));
                p.drawText(cell.x(), y + ascent, s);
            }
            if (caret && int64_t(at) == anchor_) {
                const QRect& cell = textSide_ ? textCell : hexCell;
                const int x = cell.x() + (textSide_ ? 0 : nibble_ * cw);
                p.fillRect(QRect(x, y, 2, lh), pal.color(QPalette::Text));
            }
        }
    }
}

void CHexEditorCtrl::MoveCaret(int64_t to, bool extend) {
    const int64_t n = int64_t(DataSize());
    if (n == 0) return;
    to = std::clamp<int64_t>(to, 0, extend ? n : n - 1);
    nibble_ = 0;
    end_ = to;
    if (!extend) anchor_ = to;
    EnsureVisible(std::min(to, n - 1));
    viewport()->update();
    emit SelectionChanged(anchor_, end_);
}

void CHexEditorCtrl::keyPressEvent(QKeyEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int64_t n = int64_t(DataSize());
    const int64_t caret = end_ < 0 ? 0 : end_;
    const int64_t page = int64_t(VisibleLines()) * kBytesPerLine;
    if (event->matches(QKeySequence::Copy)) return Copy();
    if (event->matches(QKeySequence::Undo)) return Undo();
    switch (event->key()) {
        case Qt::Key_Left:
            if (caret > 0) MoveCaret(caret - 1, shift);
            return;
        case Qt::Key_Right:
            if (caret < (shift ? n : n - 1)) MoveCaret(caret + 1, shift);
            return;
        case Qt::Key_Up:
            if (ctrl) SetTopLine(topLine_ ? topLine_ - 1 : 0);
            else if (caret >= kBytesPerLine) MoveCaret(caret - kBytesPerLine, shift);
            return;
        case Qt::Key_Down:
            if (ctrl) SetTopLine(topLine_ + 1);
            else if (caret + kBytesPerLine <= (shift ? n : n - 1)) MoveCaret(caret + kBytesPerLine, shift);
            return;
        case Qt::Key_PageUp:
            if (ctrl) SetTopLine(topLine_ > uint64_t(VisibleLines()) ? topLine_ - VisibleLines() : 0);
            else MoveCaret(std::max<int64_t>(caret - page, caret % kBytesPerLine), shift);
            return;
        case Qt::Key_PageDown:
            if (ctrl) SetTopLine(topLine_ + VisibleLines());
            else if (caret + page < n) MoveCaret(caret + page, shift);
            else MoveCaret(caret + ((n - 1 - caret) / kBytesPerLine) * kBytesPerLine, shift);
            return;
        case Qt::Key_Home:
            MoveCaret(ctrl ? 0 : caret - caret % kBytesPerLine, shift);
            return;
        case Qt::Key_End:
            MoveCaret(ctrl ? n - 1 : std::min(n - 1, caret - caret % kBytesPerLine + kBytesPerLine - 1), shift);
            return;
        case Qt::Key_Delete:
            if (!textSide_ && !readOnly_) {
                TypeCharacter('0');
                TypeCharacter('0');
            }
            return;
        case Qt::Key_F6:
            SwitchColumn();
            return;
        default:
            break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && !ctrl) {
        for (QChar c : text) TypeCharacter(c.unicode());
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CHexEditorCtrl::TypeCharacter(uint32_t ch) {
    if (readOnly_ || !source_ || !source_->Writable()) {
        QApplication::beep();
        return;
    }
    if (ch < 32 || end_ < 0) return;
    if (anchor_ != end_) {
        end_ = anchor_;
        nibble_ = 0;
    }
    const int64_t n = int64_t(DataSize());
    if (anchor_ >= n) anchor_ = end_ = n - 1;
    if (!textSide_) {
        int digit = -1;
        if (ch >= '0' && ch <= '9') digit = int(ch - '0');
        else if (ch >= 'a' && ch <= 'f') digit = int(ch - 'a' + 10);
        else if (ch >= 'A' && ch <= 'F') digit = int(ch - 'A' + 10);
        if (digit >= 0) TypeHexDigit(digit);
        return;
    }
    WriteByte(uint64_t(anchor_), uint8_t(ch & 0xFF));
    int64_t next = anchor_ + 1;
    if (ch > 255 && next < n) WriteByte(uint64_t(next++), uint8_t((ch >> 8) & 0xFF));
    MoveCaret(std::min(next, n - 1), false);
}

void CHexEditorCtrl::TypeHexDigit(int digit) {
    uint8_t b = 0;
    if (!ReadByte(uint64_t(anchor_), b)) return;
    if (nibble_ == 0) {
        WriteByte(uint64_t(anchor_), uint8_t((digit << 4) | (b & 0x0F)));
        nibble_ = 1;
        viewport()->update();
        return;
    }
    WriteByte(uint64_t(anchor_), uint8_t((b & 0xF0) | digit));
    MoveCaret(std::min<int64_t>(anchor_ + 1, int64_t(DataSize()) - 1), false);
}

void CHexEditorCtrl::Undo() {
    if (undo_.empty() || !source_) return;
    const uint64_t offset = undo_.back().first;
    while (!undo_.empty() && undo_.back().first == offset) {
        source_->Write(undo_.back().first, undo_.back().second);
        undo_.pop_back();
    }
    MoveCaret(int64_t(offset), false);
}

void CHexEditorCtrl::SwitchColumn() {
    textSide_ = !textSide_;
    nibble_ = 0;
    viewport()->update();
}

void CHexEditorCtrl::Copy() {
    if (!source_ || anchor_ == end_ || anchor_ < 0) return;
    const uint64_t first = uint64_t(std::min(anchor_, end_)), last = uint64_t(std::max(anchor_, end_));
    const uint64_t count = last - first;
    if (count > kLargeCopy && !(confirmLargeCopy && confirmLargeCopy())) return;
    // The clipboard takes text in memory: a selection past this stays uncopied.
    if (count > (uint64_t(1) << 30)) return;
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    bytes.resize(source_->Read(first, bytes.data(), bytes.size()));
    QByteArray text;
    text.reserve(int(bytes.size() * 3 + bytes.size() / 8));
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (textSide_) {
            text += Printable(bytes[i]) ? char(bytes[i]) : '.';
            continue;
        }
        text += QByteArray::number(bytes[i], 16).rightJustified(2, '0').toUpper();
        text += ' ';
        if ((i + 1) % kBytesPerLine == 0) text += "\r\n";
    }
    QApplication::clipboard()->setText(QString::fromLatin1(text));
}

int64_t CHexEditorCtrl::HitTest(const QPoint& point, bool& textSide) const {
    const int64_t n = int64_t(DataSize());
    if (n == 0) return -1;
    const int x = point.x() + horizontalScrollBar()->value();
    int64_t row = (point.y() - HeaderHeight()) / lineHeight_;
    if (point.y() < HeaderHeight()) row = 0;
    const int column = x / charWidth_;
    int byte = -1;
    if (column >= TextColumn(0) - 1) {
        textSide = true;
        byte = std::clamp(column - TextColumn(0), 0, kBytesPerLine - 1);
    } else {
        textSide = false;
        for (int i = kBytesPerLine - 1; i >= 0; --i)
            if (column >= HexColumn(i) - 1) {
                byte = i;
                break;
            }
        if (byte < 0) byte = 0;
    }
    const int64_t at = int64_t(topLine_ + uint64_t(std::max<int64_t>(row, 0))) * kBytesPerLine + byte;
    return std::min(at, n - 1);
}

void CHexEditorCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    bool text = false;
    const int64_t at = HitTest(event->position().toPoint(), text);
    if (at < 0) return;
    textSide_ = text;
    dragging_ = true;
    MoveCaret(at, event->modifiers() & Qt::ShiftModifier);
}

void CHexEditorCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const QPoint point = event->position().toPoint();
    if (point.y() < HeaderHeight() && topLine_ > 0) SetTopLine(topLine_ - 1);
    else if (point.y() > viewport()->height()) SetTopLine(topLine_ + 1);
    bool text = false;
    const int64_t at = HitTest(point, text);
    if (at >= 0) MoveCaret(at, true);
}

void CHexEditorCtrl::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void CHexEditorCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    bool text = false;
    const int64_t at = HitTest(event->position().toPoint(), text);
    if (at < 0) return;
    textSide_ = text;
    Select(at, at + 1);
}

void CHexEditorCtrl::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0) return;
    const int64_t lines = -int64_t(notches) * 2;
    if (lines < 0) SetTopLine(topLine_ > uint64_t(-lines) ? topLine_ + lines : 0);
    else SetTopLine(topLine_ + uint64_t(lines));
    event->accept();
}

}  // namespace vx
