#pragma once
// The Recover dialog: the destination folder and "Keep folder structure".
// OK stores them, checks the destination against the source drive and ends
// the dialog only when it may be used.
#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace vx {

class CVolume;

class COnRecoveryDlg : public QDialog {
    Q_OBJECT
public:
    COnRecoveryDlg(CVolume* volume, QWidget* parent = nullptr);

    QLineEdit* destination = nullptr;
    QCheckBox* keepStructure = nullptr;

    // The folder browser's choice (empty: cancelled) stored as the
    // destination with a trailing separator.
    void TakeBrowsedFolder(const QString& folder);
    void accept() override;

signals:
    void HelpRequested();

private:
    CVolume* volume_;
};

}  // namespace vx
