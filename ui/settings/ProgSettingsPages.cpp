#include "ui/settings/ProgSettingsPages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

#include "common/Strings.h"
#include "platform/Paths.h"
#include "settings/ProgramSettings.h"
#include "ui/settings/SearchFileTypeTreeView.h"

namespace vx {

namespace so = settings_offset;

namespace {

QString S(int id) { return QString::fromUtf8(LoadString(id)); }

QCheckBox* Check(int id, QWidget* parent) { return new QCheckBox(S(id), parent); }

QSpinBox* Spin(int min, int max, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(min, max);
    spin->setMinimumWidth(90);
    return spin;
}

QLabel* Note(int id, QWidget* parent) {
    auto* label = new QLabel(S(id), parent);
    label->setWordWrap(true);
    return label;
}

}  // namespace

QString SystemTemporaryPath() { return QString::fromStdString(TemporaryFolder()); }

CProgSettingsPage::CProgSettingsPage(int captionId, int icon, QWidget* parent)
    : QWidget(parent), caption_(S(captionId)) {
    auto* outer = new QHBoxLayout(this);
    auto* iconLabel = new QLabel(this);
    iconLabel->setPixmap(QApplication::style()->standardIcon(QStyle::StandardPixmap(icon)).pixmap(48, 48));
    iconLabel->setAlignment(Qt::AlignTop);
    outer->addWidget(iconLabel);
    body_ = new QWidget(this);
    outer->addWidget(body_, 1);
}

void CProgSettingsPage::EnsureLoaded() {
    if (shown_) return;
    shown_ = true;
    Load();
    emit FirstShown();
}

void CProgSettingsPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    EnsureLoaded();
}

bool CProgSettingsPage::CheckNumber(QSpinBox* field) {
    if (field->hasAcceptableInput()) return true;
    QApplication::beep();
    field->setFocus();
    return false;
}

// --- Common -------------------------------------------------------------------

CProgSettings_Common::CProgSettings_Common(QWidget* parent)
    : CProgSettingsPage(str::PageCommon, QStyle::SP_ComputerIcon, parent) {
    auto* layout = new QGridLayout(body_);
    splash = Check(str::ShowSplash, body_);
    autoCheck = Check(str::AutoCheckUpdates, body_);
    period = Spin(0, 9999, body_);
    layout->addWidget(splash, 0, 0, 1, 3);
    layout->addWidget(autoCheck, 1, 0);
    layout->addWidget(period, 1, 1);
    layout->addWidget(new QLabel(S(str::Days), body_), 1, 2);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(3, 1);
}

void CProgSettings_Common::Load() {
    splash->setChecked(Settings().Flag(so::ShowSplash));
    const int32_t days = Settings().Int(so::UpdateCheckPeriod);
    autoCheck->setChecked(days >= 0);
    period->setValue(std::max(days, 0));
}

bool CProgSettings_Common::Store() {
    if (autoCheck->isChecked() && !CheckNumber(period)) return false;
    Settings().SetFlag(so::ShowSplash, splash->isChecked());
    Settings().SetWord(so::UpdateCheckPeriod, autoCheck->isChecked() ? uint32_t(period->value()) : uint32_t(-1));
    return true;
}

// --- Confirmations --------------------------------------------------------------

CProgSettings_Confirms::CProgSettings_Confirms(QWidget* parent)
    : CProgSettingsPage(str::PageConfirms, QStyle::SP_MessageBoxQuestion, parent) {
    auto* layout = new QVBoxLayout(body_);
    shutdown = Check(str::ConfirmShutdown, body_);
    scanAbort = Check(str::ConfirmScanAbort, body_);
    recoveryAbort = Check(str::ConfirmRecoveryAbort, body_);
    overwrite = Check(str::ConfirmFileOverwrite, body_);
    tryOpen = Check(str::SuppressTryOpenWarning, body_);
    helpLink = new QLabel(QStringLiteral("<a href=\"help\">%1</a>").arg(S(str::TryOpenHelpLink).toHtmlEscaped()), body_);
    connect(helpLink, &QLabel::linkActivated, this, [this] { emit HelpRequested(); });
    for (QWidget* w : {static_cast<QWidget*>(shutdown), static_cast<QWidget*>(scanAbort),
                       static_cast<QWidget*>(recoveryAbort), static_cast<QWidget*>(overwrite),
                       static_cast<QWidget*>(tryOpen), static_cast<QWidget*>(helpLink)})
        layout->addWidget(w);
    layout->addStretch(1);
}

void CProgSettings_Confirms::Load() {
    shutdown->setChecked(Settings().Flag(so::ConfirmShutdown));
    scanAbort->setChecked(Settings().Flag(so::ConfirmScanAbort));
    recoveryAbort->setChecked(Settings().Flag(so::ConfirmRecoveryAbort));
    overwrite->setChecked(Settings().Flag(so::ConfirmFileOverwrite));
    tryOpen->setChecked(Settings().Flag(so::SuppressTryOpenWarning));
}

bool CProgSettings_Confirms::Store() {
    Settings().SetFlag(so::ConfirmShutdown, shutdown->isChecked());
    Settings().SetFlag(so::ConfirmScanAbort, scanAbort->isChecked());
    Settings().SetFlag(so::ConfirmRecoveryAbort, recoveryAbort->isChecked());
    Settings().SetFlag(so::ConfirmFileOverwrite, overwrite->isChecked());
    Settings().SetFlag(so::SuppressTryOpenWarning, tryOpen->isChecked());
    return true;
}

// --- File Types -----------------------------------------------------------------

CProgSettings_SearchFileTypes::CProgSettings_SearchFileTypes(QWidget* parent)
    : CProgSettingsPage(str::PageFileTypes, QStyle::SP_FileDialogDetailedView, parent) {
    auto* layout = new QVBoxLayout(body_);
    layout->addWidget(Note(str::FileTypesIntro, body_));
    tree = new CSearchFileTypeTreeView(body_);
    layout->addWidget(tree, 1);
    layout->addWidget(Note(str::FileTypesFilterNote, body_));
}

void CProgSettings_SearchFileTypes::Load() { tree->Load(); }

bool CProgSettings_SearchFileTypes::Store() {
    tree->Apply();
    return true;
}

// --- Temporary Folder -------------------------------------------------------------

CProgSettings_Temporary::CProgSettings_Temporary(QWidget* parent)
    : CProgSettingsPage(str::PageTemporary, QStyle::SP_DirIcon, parent) {
    auto* layout = new QGridLayout(body_);
    system = new QRadioButton(S(str::SystemTemporaryFolder), body_);
    custom = new QRadioButton(S(str::CustomTemporaryFolder), body_);
    folder = new QLineEdit(body_);
    folder->setMaxLength(4095);
    browse = new QPushButton(S(str::Browse), body_);
    layout->addWidget(system, 0, 0, 1, 2);
    layout->addWidget(custom, 1, 0, 1, 2);
    layout->addWidget(folder, 2, 0);
    layout->addWidget(browse, 2, 1);
    layout->setRowStretch(3, 1);
    connect(system, &QRadioButton::clicked, this, [this] { Choose(false); });
    connect(custom, &QRadioButton::clicked, this, [this] { Choose(true); });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString picked = QFileDialog::getExistingDirectory(this, S(str::SelectTemporaryFolder), folder->text());
        if (!picked.isEmpty()) folder->setText(picked);
    });
}

void CProgSettings_Temporary::Load() {
    const QString stored = QString::fromStdString(Settings().TemporaryFolderPath());
    const bool differs = stored.compare(SystemTemporaryPath(), Qt::CaseInsensitive) != 0;
    Settings().SetFlag(so::CustomTemporaryFolder, differs);
    folder->setText(stored);
    (differs ? custom : system)->setChecked(true);
    folder->setEnabled(differs);
    browse->setEnabled(differs);
}

void CProgSettings_Temporary::Choose(bool customChoice) {
    // Stored at once: Cancel leaves the choice in effect.
    Settings().SetFlag(so::CustomTemporaryFolder, customChoice);
    folder->setEnabled(customChoice);
    browse->setEnabled(customChoice);
}

bool CProgSettings_Temporary::Store() {
    const QString path = Settings().Flag(so::CustomTemporaryFolder) ? folder->text() : SystemTemporaryPath();
    Settings().SetText(so::TemporaryFolder, 4096, path.toStdString());
    return true;
}

// --- Drive Access -----------------------------------------------------------------

CProgSettings_DriveAccess::CProgSettings_DriveAccess(QWidget* parent)
    : CProgSettingsPage(str::PageDriveAccess, QStyle::SP_DriveHDIcon, parent) {
    auto* layout = new QGridLayout(body_);
    retries = Spin(0, 1000000, body_);
    pause = Spin(0, 1000000, body_);
    layout->addWidget(new QLabel(S(str::RetryAttempts), body_), 0, 0);
    layout->addWidget(retries, 0, 1);
    layout->addWidget(Note(str::RetryAttemptsNote, body_), 1, 0, 1, 3);
    layout->addWidget(new QLabel(S(str::RetryPause), body_), 2, 0);
    layout->addWidget(pause, 2, 1);
    layout->addWidget(new QLabel(S(str::Milliseconds), body_), 2, 2);
    layout->addWidget(Note(str::RetryPauseNote, body_), 3, 0, 1, 3);
    layout->setRowStretch(4, 1);
    layout->setColumnStretch(3, 1);
}

void CProgSettings_DriveAccess::Load() {
    retries->setValue(int(std::min<uint32_t>(Settings().RetryAttempts(), 1000000)));
    pause->setValue(int(std::min<uint32_t>(Settings().RetryPause(), 1000000)));
}

bool CProgSettings_DriveAccess::Store() {
    if (!CheckNumber(retries) || !CheckNumber(pause)) return false;
    Settings().SetWord(so::RetryAttempts, uint32_t(retries->value()));
    Settings().SetWord(so::RetryPause, uint32_t(pause->value()));
    return true;
}

// --- Logging ----------------------------------------------------------------------

CProgSettings_Logging::CProgSettings_Logging(QWidget* parent)
    : CProgSettingsPage(str::PageLogging, QStyle::SP_FileDialogContentsView, parent) {
    auto* layout = new QGridLayout(body_);
    save = Check(str::SaveLogInFile, body_);
    nameLabel = new QLabel(S(str::LogFileName), body_);
    fileName = new QLineEdit(body_);
    fileName->setMaxLength(1023);
    sizeLabel = new QLabel(S(str::MaximumLogFileSize), body_);
    maxSize = Spin(1, 102400, body_);
    unitLabel = new QLabel(S(str::Kilobytes), body_);
    clear = Check(str::ClearLogOnStart, body_);
    debugWindow = Check(str::WriteLogDebugWindow, body_);
    layout->addWidget(save, 0, 0, 1, 3);
    layout->addWidget(nameLabel, 1, 0);
    layout->addWidget(fileName, 1, 1, 1, 2);
    layout->addWidget(sizeLabel, 2, 0);
    layout->addWidget(maxSize, 2, 1);
    layout->addWidget(unitLabel, 2, 2);
    layout->addWidget(clear, 3, 0, 1, 3);
    layout->addWidget(debugWindow, 4, 0, 1, 3);
    layout->setRowStretch(5, 1);
    connect(save, &QCheckBox::clicked, this, [this](bool on) {
        Settings().SetFlag(so::SaveLogInFile, on);  // stored at once
        UpdateEnabling();
    });
}

void CProgSettings_Logging::UpdateEnabling() {
    const bool on = save->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(nameLabel), static_cast<QWidget*>(fileName),
                       static_cast<QWidget*>(sizeLabel), static_cast<QWidget*>(maxSize),
                       static_cast<QWidget*>(unitLabel), static_cast<QWidget*>(clear)})
        w->setEnabled(on);
}

void CProgSettings_Logging::Load() {
    save->setChecked(Settings().Flag(so::SaveLogInFile));
    fileName->setText(QString::fromStdString(Settings().LogFileName()));
    maxSize->setValue(int(std::clamp<uint32_t>(Settings().Word(so::MaximumLogFileSize), 1, 102400)));
    clear->setChecked(Settings().Flag(so::ClearLogFileOnStart));
    debugWindow->setChecked(Settings().Flag(so::WriteLogInDebugWindow));
    UpdateEnabling();
}

bool CProgSettings_Logging::Store() {
    if (save->isChecked() && !CheckNumber(maxSize)) return false;
    Settings().SetFlag(so::SaveLogInFile, save->isChecked());
    Settings().SetText(so::LogFileName, 1024, fileName->text().toStdString());
    Settings().SetWord(so::MaximumLogFileSize, uint32_t(maxSize->value()));
    Settings().SetFlag(so::ClearLogFileOnStart, clear->isChecked());
    Settings().SetFlag(so::WriteLogInDebugWindow, debugWindow->isChecked());
    Settings().ApplyLogging();
    return true;
}

// --- Interface Language -------------------------------------------------------------

CProgSettings_Lang::CProgSettings_Lang(QWidget* parent)
    : CProgSettingsPage(str::PageLanguage, QStyle::SP_MessageBoxInformation, parent) {
    auto* layout = new QGridLayout(body_);
    language = new QComboBox(body_);
    layout->addWidget(new QLabel(S(str::Language), body_), 0, 0);
    layout->addWidget(language, 0, 1);
    layout->addWidget(Note(str::LanguageRestartNote, body_), 1, 0, 1, 3);
    layout->addWidget(Note(str::LanguageHelpNote, body_), 2, 0, 1, 3);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(2, 1);
}

void CProgSettings_Lang::Load() {
    language->clear();
    language->addItem(S(str::English));
    language->setCurrentIndex(0);
}

}  // namespace vx
