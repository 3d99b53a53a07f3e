#include "ui/images/ImageCommands.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "common/Strings.h"
#include "device/DriveImage.h"
#include "device/LocalComputer.h"
#include "ui/images/CreateVirtualDriveDlg.h"
#include "ui/images/CreatingImageDlg.h"

namespace vx {

bool CreateDriveImage(QWidget* owner, CVolume& volume) {
    const QString proposed = QDir::home().filePath(QString::fromStdString(DefaultImageName(volume)) + ".dsk");
    QFileDialog dialog(owner, QString::fromUtf8(LoadString(str::CreatingImageCaption)), proposed,
                       QString::fromUtf8(LoadString(str::ImageFilter)));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("dsk"));
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    const std::string path = dialog.selectedFiles().first().toStdString();
    std::unique_ptr<CImageJob> job = CreateImage(volume, path, true);  // the dialog asked before overwriting
    if (!job) return false;
    CCreatingImageDlg progress(*job, owner);
    progress.exec();
    job->Wait();
    if (job->Result() != CImageJob::Outcome::Done) return false;
    return Computer().LoadImage(path) != nullptr;
}

bool CreateVirtualDrive(QWidget* owner, CVolume& volume) {
    CCreateVirtualDriveDlg dialog(volume, owner);
    return dialog.exec() == QDialog::Accepted && dialog.Created();
}

}  // namespace vx
