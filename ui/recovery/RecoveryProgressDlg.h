#pragma once
// "Recovering files...": polls a recovery job every 250 ms. Mode 0 (a
// recovery) ends with "OK" and "Go to Recovered..."; mode 1 (try-open)
// closes itself at the end of the run.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vx {

class CRecoveryJob;

class CRecoveryProgressDlg : public QDialog {
    Q_OBJECT
public:
    enum Mode : int { kRecovery = 0, kTryOpen = 1 };
    CRecoveryProgressDlg(CRecoveryJob& job, int objectCount, Mode mode, QWidget* parent = nullptr);

    // One poll of the job (the timer calls it).
    void Tick();
    bool FinishedShown() const { return finished_; }

    QLabel* totalText = nullptr;
    QLabel* fileText = nullptr;
    QProgressBar* totalBar = nullptr;
    QProgressBar* fileBar = nullptr;
    QPushButton* abortButton = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* goButton = nullptr;

    void reject() override;  // Escape and the close box: like "Abort"

private:
    void Finish();
    void Abort();
    void Close();

    CRecoveryJob& job_;
    const int count_;
    const Mode mode_;
    QTimer* timer_;
    bool finished_ = false;
};

}  // namespace vx
