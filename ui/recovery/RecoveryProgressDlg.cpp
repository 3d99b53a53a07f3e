#include "ui/recovery/RecoveryProgressDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "common/Strings.h"
#include "platform/Shell.h"
#include "recovery/RecoveryJob.h"
#include "settings/EventLog.h"
#include "settings/ProgramSettings.h"

namespace vx {

CRecoveryProgressDlg::CRecoveryProgressDlg(CRecoveryJob& job, int objectCount, Mode mode, QWidget* parent)
    : QDialog(parent), job_(job), count_(objectCount), mode_(mode) {
    setWindowTitle(tr("Recovering files..."));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Total progress:"), this), 0, 0);
    totalText = new QLabel(this);
    grid->addWidget(totalText, 0, 1);
    totalBar = new QProgressBar(this);
    totalBar->setRange(0, std::max(objectCount, 0));
    totalBar->setValue(0);
    grid->addWidget(totalBar, 1, 0, 1, 2);
    grid->addWidget(new QLabel(tr("Current file:"), this), 2, 0);
    fileText = new QLabel(this);
    fileText->setMinimumWidth(360);
    grid->addWidget(fileText, 2, 1);
    fileBar = new QProgressBar(this);
    fileBar->setRange(0, 100);
    fileBar->setValue(0);
    grid->addWidget(fileBar, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    goButton = new QPushButton(tr("Go to Recovered..."), this);
    okButton = new QPushButton(tr("OK"), this);
    abortButton = new QPushButton(tr("Abort"), this);
    abortButton->setDefault(true);
    goButton->hide();
    okButton->hide();
    buttons->addWidget(goButton);
    buttons->addWidget(okButton);
    buttons->addWidget(abortButton);
    layout->addLayout(buttons);
    connect(abortButton, &QPushButton::clicked, this, &CRecoveryProgressDlg::Abort);
    connect(okButton, &QPushButton::clicked, this, &CRecoveryProgressDlg::Close);
    connect(goButton, &QPushButton::clicked, this, [this] {
        (void)OpenWithAssociatedProgram(Settings().DestinationFolder());
        Close();
    });
    timer_ = new QTimer(this);
    timer_->setInterval(250);
    connect(timer_, &QTimer::timeout, this, &CRecoveryProgressDlg::Tick);
    timer_->start();
    Tick();
}

void CRecoveryProgressDlg::Tick() {
    const int index = job_.CurrentIndex();
    try {
        totalText->setText(QStringLiteral("%1 of %2").arg(std::min(index, count_)).arg(count_));
        totalBar->setValue(std::min(index, count_));
    } catch (...) {
        EventLog().LogError("RecoveryDlg::UpdateProgress exept1");
    }
    try {
        if (!finished_) {
            if (index < count_) {
                const FoundObject* object = job_.CurrentObject();
                if (object) {
                    fileText->setText(QStringLiteral("%1 [size: %2]")
                                          .arg(object->name ? QString::fromUtf8(object->name) : QString())
                                          .arg(qlonglong(int64_t(object->size))));
                }
                fileBar->setValue(std::clamp(job_.CurrentProgress(), 0, 100));
            } else {
                fileText->clear();
                fileBar->setValue(100);
            }
        }
    } catch (...) {
        EventLog().LogError("RecoveryDlg::UpdateProgress exept2");
    }
    if (!finished_ && (index >= count_ || job_.Finished())) Finish();
}

void CRecoveryProgressDlg::Finish() {
    finished_ = true;
    job_.StopJob();
    if (mode_ == kTryOpen) {
        timer_->stop();
        done(0);
        return;
    }
    abortButton->hide();
    okButton->show();
    goButton->show();
    okButton->setDefault(true);
    fileText->clear();
    fileBar->setValue(100);
    totalBar->setValue(count_);
    totalText->setText(QStringLiteral("%1 of %2").arg(count_).arg(count_));
}

void CRecoveryProgressDlg::Abort() {
    if (Settings().Flag(settings_offset::ConfirmRecoveryAbort) &&
        QMessageBox::question(this, tr("Confirmation"), tr("Are you sure you want to stop recovry?"),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    Close();
}

void CRecoveryProgressDlg::Close() {
    job_.StopJob();
    timer_->stop();
    done(QDialog::Accepted);
}

void CRecoveryProgressDlg::reject() {
    if (finished_) Close();
    else Abort();
}

}  // namespace vx
