#pragma once
// Helpers of the GUI tests: waiting with the event loop running, and
// answering modal dialogs when they show.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

#include "recovery/RecoveryJob.h"
#include "ui/recovery/RecoverDlg.h"
#include "ui/recovery/RecoveryProgressDlg.h"

namespace vx::test {

// Runs the event loop (and `tick` every pass) until `done` or the timeout.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 60000,
                      const std::function<void()>& tick = {}) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QTest::qWait(20);
        if (tick) tick();
    }
    return true;
}

// Calls `act` on the active modal dialog of type D every 20 ms once it shows,
// until `act` returns true (it has answered). The timer ends with it.
template <typename D>
void WhenShown(std::function<bool(D*)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            if (act(dialog)) {
                timer->stop();
                timer->deleteLater();
            }
        }
    });
    timer->start();
}

// Recovers through the Recover dialog (destination `out`) and its progress
// dialog, which must end showing OK; `start` gives the Recover command.
inline bool RecoverThroughDialogs(const std::string& out, const std::function<bool()>& start) {
    bool progressDone = false;
    WhenShown<COnRecoveryDlg>([out](COnRecoveryDlg* dialog) {
        dialog->destination->setText(QString::fromStdString(out));
        dialog->accept();
        return true;
    });
    WhenShown<CRecoveryProgressDlg>([&progressDone](CRecoveryProgressDlg* dialog) {
        if (!dialog->FinishedShown()) return false;
        dialog->okButton->click();
        progressDone = true;
        return true;
    });
    if (!start() || !WaitUntil([&] { return progressDone; })) return false;
    RecoveryJob().Wait();
    return true;
}

}  // namespace vx::test
