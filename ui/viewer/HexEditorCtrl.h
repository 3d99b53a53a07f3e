#pragma once
// The hex view: a block of bytes shown and edited sixteen per line, offset,
// hex and text columns. Offsets are 64-bit; the vertical scroll bar is scaled
// when the lines outnumber what an int scroll range can step through, so a
// whole disk can be shown.
//
// CHexEditorCtrl draws the lines only (the signature view); CHexEditorCtrl2
// adds the header row (the data viewer pane).
#include <QAbstractScrollArea>
#include <QFont>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "ui/viewer/ByteSource.h"

namespace vx {

class CHexEditorCtrl : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CHexEditorCtrl(QWidget* parent = nullptr) : CHexEditorCtrl(false, parent) {}
    ~CHexEditorCtrl() override;

    // Shows a memory block the caller keeps (edits change it in place).
    void SetMemory(uint8_t* block, uint64_t size);
    // Maps a file for reading and writing; false (and no data) on failure.
    bool SetFile(const QString& path);
    // Shows any byte source (the view shares it).
    void SetSource(std::shared_ptr<IByteSource> source);
    IByteSource* Source() const { return source_.get(); }
    uint64_t DataSize() const;
    QString Caption() const;

    void SetReadOnly(bool on) { readOnly_ = on; }
    bool IsReadOnly() const { return readOnly_; }

    // Sets the selection (clamped to the data) and scrolls its end into view.
    void Select(int64_t anchor, int64_t end);
    int64_t Anchor() const { return anchor_; }
    int64_t End() const { return end_; }
    bool CaretShown() const { return anchor_ == end_ && anchor_ >= 0; }
    bool TextSideActive() const { return textSide_; }

    // Commands: copy, undo, switch column (F6).
    void Copy();
    void Undo();
    void SwitchColumn();
    size_t UndoCount() const { return undo_.size(); }

    // The index of the first shown line, and the number of whole lines shown.
    uint64_t TopLine() const { return topLine_; }
    void SetTopLine(uint64_t line);
    int VisibleLines() const;
    uint64_t LineCount() const;
    // One line as drawn: offset, hex and text columns.
    QString LineText(uint64_t line);
    // Characters of the offset column (eight digits, more past 4 GiB).
    int OffsetDigits() const;

    // Asked before a copy of more than 65536 bytes; the default shows the
    // question box. Tests answer it themselves.
    std::function<bool()> confirmLargeCopy;

signals:
    void SelectionChanged(qint64 anchor, qint64 end);

protected:
    CHexEditorCtrl(bool header, QWidget* parent);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override { return false; }

private:
    void ResetState();
    void UpdateScrollBar();
    uint64_t MaxTopLine() const;
    void EnsureVisible(int64_t offset);
    void MoveCaret(int64_t to, bool extend);
    void TypeCharacter(uint32_t ch);
    void TypeHexDigit(int digit);
    void WriteByte(uint64_t offset, uint8_t value);
    bool ReadByte(uint64_t offset, uint8_t& value);
    // The byte and column under a point of the viewport; -1 when none.
    int64_t HitTest(const QPoint& point, bool& textSide) const;
    int HeaderHeight() const;
    int CharWidth() const { return charWidth_; }
    int LineHeight() const { return lineHeight_; }
    int HexColumn(int byte) const;   // character column of a byte's first hex digit
    int TextColumn(int byte) const;  // character column of a byte's character

    const bool header_;
    std::shared_ptr<IByteSource> source_;
    uint64_t topLine_ = 0;
    int64_t anchor_ = -1;
    int64_t end_ = -1;
    bool textSide_ = false;
    int nibble_ = 0;
    bool readOnly_ = false;
    bool dragging_ = false;
    bool settingBar_ = false;
    std::vector<std::pair<uint64_t, uint8_t>> undo_;
    QFont font_;
    int charWidth_ = 8;
    int lineHeight_ = 16;
};

class CHexEditorCtrl2 : public CHexEditorCtrl {
    Q_OBJECT
public:
    explicit CHexEditorCtrl2(QWidget* parent = nullptr) : CHexEditorCtrl(true, parent) {}
};

// Selection clamping for data of `size` bytes: an end of -1 means the size;
// a caret at or past the end goes to the last byte; an end past the size
// becomes the size; an anchor past the data goes to the last byte. With no
// data both are -1.
std::pair<int64_t, int64_t> ClampSelection(int64_t anchor, int64_t end, uint64_t size);

}  // namespace vx
