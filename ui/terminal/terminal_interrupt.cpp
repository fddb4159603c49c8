#include "ui/terminal/terminal_interrupt.h"

#include <atomic>
#include <csignal>
#include <mutex>
#include <unistd.h>

#include "ui/terminal/terminal_mode.h"

namespace {
// Touched from the signal handler: lock-free atomics only.
std::atomic<int> interrupted{0};
std::atomic<int> listeners{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free flag");

void onInterrupt(int) {
    if (listeners.load() == 0) {
        // Nothing on screen to cancel: end as the console's close box would.
        restoreTerminalFromSignal();
        _exit(0);
    }
    interrupted.store(1);
}
}  // namespace

void installInterruptHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
    });
}

bool interruptPending() { return interrupted.load() != 0; }

bool takeInterrupt() { return interrupted.exchange(0) != 0; }

void addInterruptListener() { listeners.fetch_add(1); }

void removeInterruptListener() { listeners.fetch_sub(1); }
