#pragma once
// "Warning!" before a try-open run: what may happen when a damaged file is
// opened, and how to end a program that hangs on it.
#include <QDialog>

class QCheckBox;

namespace vx {

class CDlgTryOpen : public QDialog {
    Q_OBJECT
public:
    explicit CDlgTryOpen(QWidget* parent = nullptr);
    QCheckBox* dontShow = nullptr;
    void done(int result) override;  // OK and Cancel both store the check box
};

}  // namespace vx
