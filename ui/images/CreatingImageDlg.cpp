#include "ui/images/CreatingImageDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cstring>

#include "common/Strings.h"
#include "common/Text.h"
#include "device/DriveImage.h"
#include "device/Volume.h"

namespace vx {

namespace {
QString S(int id) { return QString::fromUtf8(LoadString(id)); }
}  // namespace

std::string GroupDigits(uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out;
}

std::string TransferSpeedText(uint64_t sectors, std::chrono::milliseconds elapsed) {
    const uint64_t seconds = uint64_t(std::max<int64_t>(elapsed.count() / 1000, 1));
    return Format(LoadString(str::SpeedFormat), GroupDigits(sectors * 512 / 1024 / seconds).c_str());
}

std::string ElapsedText(std::chrono::milliseconds elapsed) {
    const int64_t s = elapsed.count() / 1000;
    return Format("%02lld:%02lld:%02lld", (long long)(s / 3600), (long long)(s / 60 % 60), (long long)(s % 60));
}

std::string DefaultImageName(const CVolume& volume) {
    std::string drive = volume.letter >= 'A' ? std::string(1, volume.letter) : volume.kernelName;
    if (drive.empty()) drive = volume.DisplayName();
    const std::string label = TrimSpaces(volume.label);
    return label.empty() ? Format(LoadString(str::ImageFromDrive), drive.c_str())
                         : Format(LoadString(str::ImageFromDriveLabel), drive.c_str(), label.c_str());
}

CCreatingImageDlg::CCreatingImageDlg(CImageJob& job, QWidget* parent) : QDialog(parent), job_(job) {
    setWindowTitle(S(str::CreatingImageCaption));
    auto* grid = new QGridLayout;
    path = new QLabel(QString::fromStdString(job.ImagePath()), this);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    time = new QLabel(this);
    speed = new QLabel(this);
    unreadable = new QLabel(QStringLiteral("0"), this);
    status = new QLabel(this);
    status->setWordWrap(true);
    progress = new QProgressBar(this);
    progress->setRange(0, 100);
    progress->setValue(0);
    int row = 0;
    for (auto [label, value] : {std::pair{str::ImageFileName, path}, std::pair{str::ImageTime, time},
                                std::pair{str::TransferSpeed, speed}, std::pair{str::UnreadableSectors, unreadable}}) {
        grid->addWidget(new QLabel(S(label), this), row, 0);
        grid->addWidget(value, row++, 1);
    }
    grid->setColumnStretch(1, 1);
    auto* buttons = new QDialogButtonBox(this);
    button = buttons->addButton(S(str::CancelButton), QDialogButtonBox::RejectRole);
    buttons->addButton(QDialogButtonBox::Help);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCreatingImageDlg::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &CCreatingImageDlg::HelpRequested);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(progress);
    layout->addWidget(status);
    layout->addWidget(buttons);
    resize(520, 220);
    timer_ = new QTimer(this);
    timer_->setInterval(250);
    connect(timer_, &QTimer::timeout, this, &CCreatingImageDlg::Poll);
    timer_->start();
    Poll();
}

void CCreatingImageDlg::Poll() {
    if (done_) return;
    const uint64_t total = job_.TotalSectors(), current = job_.CurrentSector();
    if (!job_.Running()) progress->setValue(0);
    else if (total && current) progress->setValue(int(std::min<uint64_t>(current * 100 / total, 100)));
    const std::chrono::milliseconds elapsed = job_.Elapsed();
    time->setText(QString::fromStdString(ElapsedText(elapsed)));
    if (current) speed->setText(QString::fromStdString(TransferSpeedText(current, elapsed)));
    unreadable->setText(QString::fromStdString(GroupDigits(job_.UnreadableSectors())));
    if (!job_.Finished()) return;

    done_ = true;
    timer_->stop();
    button->setText(S(str::OkButton));
    const CImageJob::Outcome outcome = job_.Result();
    const uint64_t bad = job_.UnreadableSectors();
    QString text;
    switch (outcome) {
        case CImageJob::Outcome::Done:
            progress->setValue(100);
            speed->setText(QString::fromStdString(TransferSpeedText(job_.BytesWritten() / 512, elapsed)));
            text = bad ? QString::fromStdString(Format(LoadString(str::ImageDoneUnreadable), (unsigned long long)bad))
                       : S(str::ImageDone);
            break;
        case CImageJob::Outcome::Stopped: text = S(str::ImageStopped); break;
        case CImageJob::Outcome::SourceNotOpened: text = S(str::ImageSourceNotOpened); break;
        case CImageJob::Outcome::CreateFailed:
            text = QString::fromStdString(Format(LoadString(str::ImageCreateFailed), std::strerror(job_.CreateError())));
            break;
        case CImageJob::Outcome::TargetOnSource: text = S(str::ImageOnSource); break;
        case CImageJob::Outcome::WriteFailed: text = S(str::ImageWriteFailed); break;
        case CImageJob::Outcome::Running: break;
    }
    status->setText(text);
    if (outcome == CImageJob::Outcome::CreateFailed && isVisible()) {
        QMessageBox::critical(this, S(str::LargeCopyCaption), text);
        QDialog::reject();
    }
}

void CCreatingImageDlg::reject() {
    timer_->stop();
    if (!job_.Finished()) job_.Stop();
    if (done_ && job_.Result() == CImageJob::Outcome::Done) QDialog::accept();
    else QDialog::reject();
}

}  // namespace vx
