#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <thread>

#include "ui/app/UiNotifier.h"

namespace vx {
namespace {

TEST(UiNotifier, LogLineFromAWorkerArrivesOnTheUiThread) {
    CUiNotifier notifier;
    QThread* arrivedOn = nullptr;
    QObject::connect(&notifier, &CUiNotifier::LogLine, &notifier,
                     [&](const QString& line) { if (line == "hello") arrivedOn = QThread::currentThread(); });
    std::thread worker([&] { notifier.OnLogLine("hello"); });
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(arrivedOn, notifier.thread());
}

}  // namespace
}  // namespace vx
