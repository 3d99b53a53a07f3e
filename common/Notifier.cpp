#include "common/Notifier.h"

#include <atomic>

namespace vx {

namespace {
INotifier g_silent;
std::atomic<INotifier*> g_notifier{&g_silent};
}  // namespace

INotifier& Notifier() { return *g_notifier.load(std::memory_order_acquire); }

void SetNotifier(INotifier* notifier) {
    g_notifier.store(notifier ? notifier : &g_silent, std::memory_order_release);
}

}  // namespace vx
