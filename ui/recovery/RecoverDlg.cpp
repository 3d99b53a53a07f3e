#include "ui/recovery/RecoverDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "recovery/Destination.h"
#include "settings/ProgramSettings.h"

namespace vx {

namespace {
constexpr int kDestinationChars = 4096;
}

COnRecoveryDlg::COnRecoveryDlg(CVolume* volume, QWidget* parent) : QDialog(parent), volume_(volume) {
    setWindowTitle(tr("Recover"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(tr("Recover files"), this);
    QFont font = heading->font();
    font.setBold(true);
    font.setPointSize(16);
    heading->setFont(font);
    layout->addWidget(heading);
    layout->addWidget(new QLabel(tr("The target folder where the recovered files will be saved:"), this));
    auto* row = new QHBoxLayout;
    destination = new QLineEdit(QString::fromStdString(Settings().DestinationFolder()), this);
    destination->setMinimumWidth(380);
    auto* browse = new QPushButton(tr("Browse..."), this);
    row->addWidget(destination, 1);
    row->addWidget(browse);
    layout->addLayout(row);
    keepStructure = new QCheckBox(tr("Keep folder structure"), this);
    keepStructure->setChecked(Settings().Flag(settings_offset::KeepFolderStructure));
    layout->addWidget(keepStructure);
    auto* warning = new QLabel(tr("Warning: Never try to save recovered files to the same logical disk where they are "
                                  "located, or you may obtain unpredictable results and lose all your data!"),
                               this);
    warning->setWordWrap(true);
    layout->addWidget(warning);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COnRecoveryDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &COnRecoveryDlg::HelpRequested);
    connect(browse, &QPushButton::clicked, this, [this] {
        TakeBrowsedFolder(QFileDialog::getExistingDirectory(this, QString(), destination->text()));
    });
}

void COnRecoveryDlg::TakeBrowsedFolder(const QString& folder) {
    if (folder.isEmpty()) return;
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    Settings().SetText(settings_offset::DestinationFolder, kDestinationChars, path.toStdString());
    destination->setText(path);
}

void COnRecoveryDlg::accept() {
    const std::string folder = destination->text().toStdString();
    if (destination->text().size() >= kDestinationChars) {
        QApplication::beep();
        destination->setFocus();
        return;
    }
    Settings().SetText(settings_offset::DestinationFolder, kDestinationChars, folder);
    Settings().SetFlag(settings_offset::KeepFolderStructure, keepStructure->isChecked());
    if (!ValidateDestination(volume_, &folder, false)) return;
    QDialog::accept();
}

}  // namespace vx
