#pragma once
// CProgSettings: the "Settings" sheet, opened modally on the page of the
// command that chose it. OK stores every page that has been shown into the
// settings record and saves the file-type database; Cancel stores nothing
// more (the two immediate stores stay).
#include <QDialog>

#include <vector>

class QTabWidget;

namespace vx {

class CProgSettingsPage;
class CProgSettings_Common;
class CProgSettings_Confirms;
class CProgSettings_SearchFileTypes;
class CProgSettings_Temporary;
class CProgSettings_DriveAccess;
class CProgSettings_Logging;
class CProgSettings_Lang;

class CProgSettings : public QDialog {
    Q_OBJECT
public:
    enum Page { Common = 0, Confirms, FileTypes, Temporary, DriveAccess, Logging, Language, PageCount };

    explicit CProgSettings(int page, QWidget* parent = nullptr);

    CProgSettingsPage* PageAt(int index) const;
    CProgSettings_Common* common;
    CProgSettings_Confirms* confirms;
    CProgSettings_SearchFileTypes* fileTypes;
    CProgSettings_Temporary* temporary;
    CProgSettings_DriveAccess* driveAccess;
    CProgSettings_Logging* logging;
    CProgSettings_Lang* language;
    QTabWidget* Tabs() const { return tabs_; }

    // OK: false (the sheet stays open) when a page refused its values.
    bool StorePages();

public slots:
    void accept() override;

signals:
    void HelpRequested();

private:
    void OnPageFirstShown();

    QTabWidget* tabs_;
    std::vector<CProgSettingsPage*> pages_;
    bool centred_ = false;
};

}  // namespace vx
