#pragma once
// The "Creating Drive Image" dialog: polls a running image job every 250 ms
// for its progress, elapsed time, transfer speed and unreadable sectors, and
// shows how the copy ended. Closing it while the copy runs stops the copy
// (the file keeps what was written).
#include <QDialog>

#include <chrono>
#include <cstdint>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vx {

class CImageJob;
class CVolume;

class CCreatingImageDlg : public QDialog {
    Q_OBJECT
public:
    // The job must outlive the dialog.
    explicit CCreatingImageDlg(CImageJob& job, QWidget* parent = nullptr);

    // One poll of the job (the timer's tick).
    void Poll();
    bool Done() const { return done_; }

    QLabel *path, *time, *speed, *unreadable, *status;
    QProgressBar* progress;
    QPushButton* button;

public slots:
    void reject() override;

signals:
    void HelpRequested();

private:
    CImageJob& job_;
    QTimer* timer_;
    bool done_ = false;
};

// "8 738 KB\s": kilobytes copied per second of the elapsed time.
std::string TransferSpeedText(uint64_t sectors, std::chrono::milliseconds elapsed);
// Digits grouped in threes from the right with a blank between groups.
std::string GroupDigits(uint64_t value);
// "hh:mm:ss" of a duration.
std::string ElapsedText(std::chrono::milliseconds elapsed);
// The proposed file name: "Image from drive sdb1" or "Image from drive sdb1 (LABEL)".
std::string DefaultImageName(const CVolume& volume);

}  // namespace vx
