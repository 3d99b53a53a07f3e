#include "ui/settings/ProgSettings.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/Strings.h"
#include "settings/ProgramSettings.h"
#include "signatures/FileTypeDatabase.h"
#include "ui/formats/ObjectInformationView.h"
#include "ui/settings/ProgSettingsPages.h"
#include "ui/settings/SearchFileTypeTreeView.h"

namespace vx {

CProgSettings::CProgSettings(int page, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(LoadString(str::SettingsCaption)));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    tabs_ = new QTabWidget(this);
    common = new CProgSettings_Common;
    confirms = new CProgSettings_Confirms;
    fileTypes = new CProgSettings_SearchFileTypes;
    temporary = new CProgSettings_Temporary;
    driveAccess = new CProgSettings_DriveAccess;
    logging = new CProgSettings_Logging;
    language = new CProgSettings_Lang;
    pages_ = {common, confirms, fileTypes, temporary, driveAccess, logging, language};
    for (CProgSettingsPage* p : pages_) {
        tabs_->addTab(p, p->Caption());
        connect(p, &CProgSettingsPage::FirstShown, this, &CProgSettings::OnPageFirstShown);
        connect(p, &CProgSettingsPage::HelpRequested, this, &CProgSettings::HelpRequested);
    }
    connect(fileTypes->tree, &CSearchFileTypeTreeView::PropertiesRequested, this, [this](FileType* type) {
        if (!type) return;
        CObjectInformationView sheet(*type, this);
        sheet.exec();
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CProgSettings::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CProgSettings::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &CProgSettings::HelpRequested);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    resize(560, 460);
    tabs_->setCurrentIndex(page >= 0 && page < PageCount ? page : 0);
}

CProgSettingsPage* CProgSettings::PageAt(int index) const {
    return index >= 0 && index < int(pages_.size()) ? pages_[size_t(index)] : nullptr;
}

void CProgSettings::OnPageFirstShown() {
    if (centred_ || !parentWidget()) return;
    centred_ = true;
    const QRect owner = parentWidget()->window()->frameGeometry();
    move(owner.center() - rect().center());
}

bool CProgSettings::StorePages() {
    for (CProgSettingsPage* p : pages_) {
        if (!p->WasShown()) continue;  // a page never shown stores nothing
        if (!p->Store()) {
            tabs_->setCurrentWidget(p);
            return false;
        }
    }
    if (fileTypes->WasShown()) vx::FileTypes().SaveDatabase();
    Settings().SaveSettingsIfChanged();
    return true;
}

void CProgSettings::accept() {
    if (StorePages()) QDialog::accept();
}

}  // namespace vx
