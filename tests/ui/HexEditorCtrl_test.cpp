#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

#include <climits>
#include <numeric>
#include <vector>

#include "ui/viewer/HexEditorCtrl.h"

namespace vx {
namespace {

// A source as large as a disk whose byte k is the low byte of k / 16 + k.
class SyntheticSource : public IByteSource {
public:
    explicit SyntheticSource(uint64_t size) : size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t Read(uint64_t offset, uint8_t* out, size_t count) override {
        size_t n = 0;
        for (; n < count && offset + n < size_; ++n) out[n] = uint8_t((offset + n) / 16 + offset + n);
        return n;
    }
    QString Caption() const override { return "synthetic"; }

private:
    uint64_t size_;
};

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> data(n);
    std::iota(data.begin(), data.end(), uint8_t(0));
    return data;
}

TEST(HexEditorCtrl, TwentyBytesShowTwoLinesWithDotsForUnprintables) {
    std::vector<uint8_t> data = Counting(20);
    data[17] = 'A';
    data[18] = 0x7F;
    CHexEditorCtrl2 view;
    view.SetMemory(data.data(), data.size());
    ASSERT_EQ(view.LineCount(), 2u);
    EXPECT_EQ(view.LineText(0).toStdString(),
              "00000000  00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F  ................");
    EXPECT_EQ(view.LineText(1).toStdString(),
              "00000010  10 41 7F 13" + std::string(12 * 3 + 1, ' ') + "  .A..");
    EXPECT_EQ(view.Caption(), "Memory");
}

TEST(HexEditorCtrl, KeysAndEditsAsATable) {
    struct Case {
        const char* name;
        size_t size;
        int64_t caret;
        std::vector<std::pair<int, Qt::KeyboardModifiers>> keys;  // key, or a character when below 256
        int64_t anchor, end;
        std::vector<std::pair<size_t, uint8_t>> bytes;  // expected bytes afterwards
    };
    const std::vector<Case> cases = {
        {"type 4 then F", 64, 0, {{'4', {}}, {'F', {}}}, 1, 1, {{0, 0x4F}, {1, 0x01}}},
        {"lower-case digits", 64, 2, {{'a', {}}, {'b', {}}}, 3, 3, {{2, 0xAB}}},
        {"non-hex ignored", 64, 2, {{'g', {}}, {'z', {}}}, 2, 2, {{2, 0x02}}},
        {"delete", 64, 5, {{Qt::Key_Delete, {}}}, 6, 6, {{5, 0x00}}},
        {"ctrl+end", 1000, 0, {{Qt::Key_End, Qt::ControlModifier}}, 999, 999, {}},
        {"end of line", 1000, 20, {{Qt::Key_End, {}}}, 31, 31, {}},
        {"home", 1000, 20, {{Qt::Key_Home, {}}}, 16, 16, {}},
        {"ctrl+home", 1000, 500, {{Qt::Key_Home, Qt::ControlModifier}}, 0, 0, {}},
        {"left at start", 64, 0, {{Qt::Key_Left, {}}}, 0, 0, {}},
        {"right at end", 64, 63, {{Qt::Key_Right, {}}}, 63, 63, {}},
        {"down", 64, 3, {{Qt::Key_Down, {}}}, 19, 19, {}},
        {"up at first line", 64, 3, {{Qt::Key_Up, {}}}, 3, 3, {}},
        {"shift extends", 64, 3, {{Qt::Key_Right, Qt::ShiftModifier}, {Qt::Key_Right, Qt::ShiftModifier}}, 3, 5, {}},
        {"typing collapses a selection", 64, 3,
         {{Qt::Key_Right, Qt::ShiftModifier}, {'7', {}}, {'7', {}}}, 4, 4, {{3, 0x77}, {4, 0x04}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> data = Counting(c.size);
        CHexEditorCtrl2 view;
        view.resize(700, 300);
        view.SetMemory(data.data(), data.size());
        view.Select(c.caret, c.caret);
        for (auto [key, modifiers] : c.keys) {
            if (key < 256 && key != Qt::Key_Delete) QTest::keyClicks(&view, QString(QChar(key)), modifiers);
            else QTest::keyClick(&view, Qt::Key(key), modifiers);
        }
        EXPECT_EQ(view.Anchor(), c.anchor);
        EXPECT_EQ(view.End(), c.end);
        for (auto [at, value] : c.bytes) EXPECT_EQ(data[at], value) << "byte " << at;
    }
}

TEST(HexEditorCtrl, CtrlEndOnAThousandBytesIsLine62Column7) {
    std::vector<uint8_t> data = Counting(1000);
    CHexEditorCtrl2 view;
    view.resize(700, 200);
    view.SetMemory(data.data(), data.size());
    view.Select(0, 0);
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view.End() / 16, 62);
    EXPECT_EQ(view.End() % 16, 7);
    EXPECT_LE(view.TopLine(), 62u);
    EXPECT_GT(view.TopLine() + uint64_t(view.VisibleLines()), 62u);
}

TEST(HexEditorCtrl, UndoRestoresTheByteAndPlacesTheCaret) {
    std::vector<uint8_t> data = Counting(64);
    CHexEditorCtrl2 view;
    view.SetMemory(data.data(), data.size());
    view.Select(10, 10);
    QTest::keyClicks(&view, "4F");
    QTest::keyClicks(&view, "99");
    EXPECT_EQ(data[10], 0x4F);
    EXPECT_EQ(data[11], 0x99);
    view.Undo();
    EXPECT_EQ(data[11], 11);
    EXPECT_EQ(view.End(), 11);
    view.Undo();
    EXPECT_EQ(data[10], 10);
    EXPECT_EQ(view.End(), 10);
    EXPECT_EQ(view.UndoCount(), 0u);
}

TEST(HexEditorCtrl, TextColumnAndReadOnly) {
    std::vector<uint8_t> data = Counting(64);
    CHexEditorCtrl2 view;
    view.SetMemory(data.data(), data.size());
    view.Select(0, 0);
    QTest::keyClick(&view, Qt::Key_F6);
    ASSERT_TRUE(view.TextSideActive());
    QTest::keyClicks(&view, "Hi");
    EXPECT_EQ(data[0], 'H');
    EXPECT_EQ(data[1], 'i');
    EXPECT_EQ(view.End(), 2);
    QTest::keyClick(&view, Qt::Key_Delete);  // only in the hex column
    EXPECT_EQ(data[2], 2);
    view.SetReadOnly(true);
    QTest::keyClicks(&view, "x");
    EXPECT_EQ(data[2], 2);
}

TEST(HexEditorCtrl, SelectionClampingAsATable) {
    struct Case {
        int64_t anchor, end;
        uint64_t size;
        int64_t wantAnchor, wantEnd;
    };
    const Case cases[] = {
        {0, -1, 100, 0, 100},     // -1 means the size
        {100, 100, 100, 99, 99},  // a caret at the end goes to the last byte
        {150, 150, 100, 99, 99},
        {10, 500, 100, 10, 100},  // an end beyond the data becomes the size
        {200, 50, 100, 99, 50},   // an anchor beyond the data goes to the last byte
        {5, 5, 0, -1, -1},        // no data
    };
    for (const Case& c : cases) {
        auto [a, e] = ClampSelection(c.anchor, c.end, c.size);
        EXPECT_EQ(a, c.wantAnchor) << c.anchor << "," << c.end << " of " << c.size;
        EXPECT_EQ(e, c.wantEnd) << c.anchor << "," << c.end << " of " << c.size;
    }
    std::vector<uint8_t> data = Counting(100);
    CHexEditorCtrl2 view;
    view.SetMemory(data.data(), data.size());
    view.Select(0, -1);
    EXPECT_FALSE(view.CaretShown());
    view.Select(150, 150);
    EXPECT_TRUE(view.CaretShown());
    EXPECT_EQ(view.End(), 99);
}

TEST(HexEditorCtrl, CopyAsksBeforeALargeSelection) {
    std::vector<uint8_t> data = Counting(70000);
    CHexEditorCtrl2 view;
    view.SetMemory(data.data(), data.size());
    int asked = 0;
    bool answer = false;
    view.confirmLargeCopy = [&] { ++asked; return answer; };
    QApplication::clipboard()->setText("before");
    view.Select(0, 18);
    view.Copy();
    EXPECT_EQ(QApplication::clipboard()->text(),
              "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \r\n10 11 ");
    EXPECT_EQ(asked, 0);
    view.Select(0, -1);
    view.Copy();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \r\n10 11 "));
    answer = true;
    view.SwitchColumn();
    view.Select(65, 65 + 70000 - 65);
    view.Copy();
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("ABCDEFGHIJ"));
}

TEST(HexEditorCtrl, PositionPastFourGibIsShownAtItsOffsetWithAScaledScrollBar) {
    const uint64_t size = uint64_t(1) << 40;  // a 1 TiB disk: 2^36 lines
    CHexEditorCtrl2 view;
    view.resize(700, 300);
    view.show();
    view.SetSource(std::make_shared<SyntheticSource>(size));
    const int64_t at = (int64_t(5) << 30) + 0x23;  // 5 GiB + 35
    view.Select(at, at);
    const uint64_t line = uint64_t(at) / 16;
    ASSERT_GE(line, view.TopLine());
    ASSERT_LT(line, view.TopLine() + uint64_t(view.VisibleLines()));
    const QString text = view.LineText(line);
    EXPECT_TRUE(text.startsWith("0140000020 ")) << text.toStdString();
    QScrollBar* bar = view.verticalScrollBar();
    EXPECT_LE(bar->maximum(), INT_MAX);
    EXPECT_GT(bar->value(), 0);
    // Moving the bar to its end shows the last line.
    bar->setValue(bar->maximum());
    EXPECT_EQ(view.TopLine() + uint64_t(view.VisibleLines()) - 1, size / 16);
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view.End(), int64_t(size - 1));
    EXPECT_TRUE(view.LineText(size / 16 - 1).startsWith("FFFFFFFFF0 "));
}

TEST(HexEditorCtrl, MouseClickDoubleClickAndWheel) {
    std::vector<uint8_t> data = Counting(4096);
    CHexEditorCtrl2 view;
    view.resize(800, 300);
    view.show();
    view.SetMemory(data.data(), data.size());
    const QFontMetrics metrics(view.viewport()->font());
    const int cw = metrics.horizontalAdvance('0'), lh = metrics.height();
    // The text column of byte 3 on the second shown line.
    const QPoint text((8 + 1 + 49 + 2 + 3) * cw + cw / 2, lh + 2 + lh + lh / 2);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, text);
    EXPECT_TRUE(view.TextSideActive());
    EXPECT_EQ(view.End(), 19);
    EXPECT_TRUE(view.CaretShown());
    // The hex column of byte 9 on the first line.
    const QPoint hex((8 + 1 + 3 * 9 + 1 + 1) * cw + cw / 2, lh + 2 + lh / 2);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, hex);
    EXPECT_FALSE(view.TextSideActive());
    EXPECT_EQ(view.Anchor(), 9);
    EXPECT_EQ(view.End(), 10);
    QWheelEvent wheel(QPointF(50, 50), view.viewport()->mapToGlobal(QPoint(50, 50)), QPoint(), QPoint(0, -240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    EXPECT_EQ(view.TopLine(), 4u);  // two lines per notch
}

TEST(HexEditorCtrl, NoDataDrawsNothingAndIgnoresKeys) {
    CHexEditorCtrl2 view;
    view.resize(400, 200);
    view.SetMemory(nullptr, 0);
    view.Select(0, -1);
    EXPECT_EQ(view.Anchor(), -1);
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(&view, "12");
    EXPECT_EQ(view.End(), -1);
    view.grab();
}

}  // namespace
}  // namespace vx
