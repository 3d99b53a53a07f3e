#pragma once
// "File Information": what the program knows about one found object.
#include <QDialog>
#include <QString>
#include <utility>
#include <vector>

namespace vx {

class CVolume;
struct FoundObject;

class CFileInformationViewDlg : public QDialog {
    Q_OBJECT
public:
    CFileInformationViewDlg(CVolume& volume, const FoundObject& object, QWidget* parent = nullptr);

    // The rows shown, label and value, in order (the tests read them).
    static std::vector<std::pair<QString, QString>> Rows(CVolume& volume, const FoundObject& object);
};

}  // namespace vx
