#pragma once
// The computer node's page, the Trash view, the list of logical drives and
// the "Volume Information" sheet.
#include <QDialog>
#include <QTextBrowser>
#include <QTreeWidget>

#include <string>
#include <utility>
#include <vector>

class QLabel;

namespace vx {

class CVolume;

// The local page media/index.html; links "vornex:command/N" ask the main
// window for command N.
class CMyComputerView : public QTextBrowser {
    Q_OBJECT
public:
    explicit CMyComputerView(QWidget* parent = nullptr);
    // Loads the page from the program's media folder.
    void Navigate();

signals:
    void CommandRequested(int id);
};

// The user's Trash: name, original location and date deleted of every item.
class CRecycleBinView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CRecycleBinView(QWidget* parent = nullptr);
    // Fills the list from the Trash below `dataHome` (the user's when empty).
    void Fill(const std::string& dataHome = {});

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// The logical drives of the computer's list, with a context menu.
class CVolumeListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    enum Command { Select = 32854, RescanDrives = 32781, Properties = 32855 };
    explicit CVolumeListCtrl(QWidget* parent = nullptr);
    void Fill();
    CVolume* SelectedVolume() const;

signals:
    // "Select": the parent takes the selected drive.
    void CommandRequested(int id);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// The "Volume Information" sheet: General, Information and Capabilities of a volume.
class CVolumeInformationDlg : public QDialog {
    Q_OBJECT
public:
    explicit CVolumeInformationDlg(CVolume& volume, QWidget* parent = nullptr);
    // Label and value of each page, in order.
    static std::vector<std::pair<std::string, std::string>> GeneralRows(const CVolume& volume);
    static std::vector<std::pair<std::string, std::string>> InformationRows(const CVolume& volume);
    static std::vector<std::pair<std::string, std::string>> CapabilityRows(const CVolume& volume);
};

}  // namespace vx
