#pragma once
// The search form: name pattern, date and size classes, the two check boxes,
// "Search" and "Cancel". It only fills the criteria; CFindInFound searches.
#include <QWidget>

#include "ui/explorer/SearchCriteria.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace vx {

class CSearchBarView : public QWidget {
    Q_OBJECT
public:
    explicit CSearchBarView(QWidget* parent = nullptr);

    // The criteria the form describes now (dates relative to `now`).
    SearchCriteria Criteria(uint64_t now) const;
    void SetSearching(bool searching);

    // The controls, for the tests and the screenshots.
    QLineEdit* nameEdit = nullptr;
    QButtonGroup* dateGroup = nullptr;
    QButtonGroup* sizeGroup = nullptr;
    QComboBox* comparison = nullptr;
    QSpinBox* sizeNumber = nullptr;
    QComboBox* unit = nullptr;
    QCheckBox* deletedOnly = nullptr;
    QCheckBox* ignoreFolders = nullptr;
    QDateTimeEdit* from = nullptr;
    QDateTimeEdit* to = nullptr;
    QPushButton* searchButton = nullptr;
    QPushButton* cancelButton = nullptr;

signals:
    void SearchRequested(const vx::SearchCriteria& criteria);
    void StopRequested();

private:
    void UpdateEnabled();
};

}  // namespace vx
