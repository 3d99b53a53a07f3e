#include "ui/explorer/FilesListView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>

#include "device/Volume.h"

namespace vx {

CFilesListView::CFilesListView(bool resultList, QWidget* parent) : QTableView(parent), model_(resultList) {
    setModel(&model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(false);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[] = {resultList ? 150 : 200, 100, 100, 120, 180};
    for (int c = 0; c < model_.columnCount(); ++c) setColumnWidth(c, widths[c]);
    setIconSize(QSize(16, 16));
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        model_.ClickColumn(column);
        horizontalHeader()->setSortIndicator(column, model_.Descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
        Refresh();
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { emit EnterPressed(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { emit CurrentObjectChanged(model_.At(current.row())); });
}

bool CFilesListView::Refresh() { return model_.Refresh(); }

std::vector<FoundObject*> CFilesListView::SelectedObjects() const {
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<FoundObject*> out;
    out.reserve(size_t(rows.size()));
    for (const QModelIndex& index : rows)
        if (FoundObject* object = model_.At(index.row())) out.push_back(object);
    return out;
}

FoundObject* CFilesListView::FirstSelected() const {
    const std::vector<FoundObject*> selected = SelectedObjects();
    return selected.empty() ? nullptr : selected.front();
}

void CFilesListView::SelectObject(const FoundObject* object) {
    const int row = model_.RowOf(object);
    if (row < 0) return;
    const QModelIndex index = model_.index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void CFilesListView::keyboardSearch(const QString& search) {
    if (search.isEmpty() || !model_.Volume()) return;
    const char typed = char(search.back().toLatin1() & ~0x20);
    const int count = model_.rowCount();
    const int start = std::max(0, currentIndex().row() + 1);
    auto lock = model_.Volume()->collection.ReadLock();
    for (int i = 0; i < count; ++i) {
        const int row = (start + i) % count;
        const FoundObject* object = model_.At(row);
        if (object && object->Is(object_flag::NameAssigned) && object->name && (object->name[0] & ~0x20) == typed) {
            lock.unlock();
            const QModelIndex index = model_.index(row, 0);
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            scrollTo(index);
            return;
        }
    }
}

void CFilesListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit EnterPressed();
        return;
    }
    if (event->key() == Qt::Key_Backspace) {
        event->ignore();  // the explorer takes it
        return;
    }
    QTableView::keyPressEvent(event);
}

void CFilesListView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    emit FocusGained();
}

void CFilesListView::contextMenuEvent(QContextMenuEvent* event) { emit ContextMenuAt(event->globalPos()); }

}  // namespace vx
