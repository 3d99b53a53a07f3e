#include "ui/log/LogView.h"

#include <QAbstractItemView>
#include <QFontDatabase>

namespace vx {

CLogView::CLogView(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(20);
    setMaxVisibleItems(kDropHeight / qMax(1, fontMetrics().height() + 2));
    view()->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view()->setTextElideMode(Qt::ElideNone);
}

void CLogView::AddLine(const QString& line) {
    insertItem(0, line);
    setCurrentIndex(0);
}

QStringList CLogView::Lines() const {
    QStringList lines;
    for (int i = 0; i < count(); ++i) lines << itemText(i);
    return lines;
}

void CLogView::showPopup() {
    // Wide enough for long lines: the list may be wider than the pane.
    view()->setMinimumWidth(qMax(width(), view()->sizeHintForColumn(0) + 24));
    QComboBox::showPopup();
}

}  // namespace vx
