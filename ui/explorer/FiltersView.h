#pragma once
// The Filters sheet: which folders the drive tree shows. The General page
// edits the filter record (dates, deleted only, name pattern); the File
// Types page names the type filter, which no view applies yet.
#include <QDialog>

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;

namespace vx {

class CExplorerFilter;

class CFiltersView : public QDialog {
    Q_OBJECT
public:
    CFiltersView(CExplorerFilter& filter, QWidget* parent = nullptr);

    QCheckBox* dateOn = nullptr;
    QCheckBox* deletedOnly = nullptr;
    QCheckBox* wildcardsOn = nullptr;
    QLineEdit* pattern = nullptr;
    QDateTimeEdit* between = nullptr;
    QDateTimeEdit* andTime = nullptr;

    void accept() override;

private:
    void StoreChecks();
    void UpdateEnabled();
    CExplorerFilter& filter_;
};

}  // namespace vx
