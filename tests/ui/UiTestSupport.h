#pragma once
// Helpers of the GUI tests: waiting with the event loop running, and
// answering modal dialogs when they show.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>

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

}  // namespace vx::test
