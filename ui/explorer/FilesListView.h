#pragma once
// The file list (and the search result list): a table over CFilesListModel
// with full-row selection, sorting by header clicks, type-ahead on names,
// Enter and double click reported to the explorer.
#include <QTableView>
#include <vector>

#include "ui/explorer/FilesListModel.h"

namespace vx {

class CFilesListView : public QTableView {
    Q_OBJECT
public:
    explicit CFilesListView(bool resultList, QWidget* parent = nullptr);

    CFilesListModel& Model() { return model_; }
    // The selected objects in list order.
    std::vector<FoundObject*> SelectedObjects() const;
    FoundObject* FirstSelected() const;
    void SelectObject(const FoundObject* object);
    // Refreshes the model and puts the sort arrow on its column.
    bool Refresh();

    void keyboardSearch(const QString& search) override;

signals:
    void EnterPressed();
    void FocusGained();
    void ContextMenuAt(const QPoint& globalPos);
    void CurrentObjectChanged(vx::FoundObject* object);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CFilesListModel model_;
};

}  // namespace vx
