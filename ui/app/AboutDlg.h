#pragma once
// The About box: product name, version and build, and a Help button.
#include <QDialog>

namespace vx {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    // "Version 2.8 Build 255" from a version "2, 8, 0, 255": the text before
    // the first comma, the one after the first comma and its blank, and the
    // one after the last comma and its blank.
    static QString VersionText(const QString& fileVersion);
    static QString FileVersion();  // this program's version in that form

signals:
    void HelpRequested();
};

}  // namespace vx
