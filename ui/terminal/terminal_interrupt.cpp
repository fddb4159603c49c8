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

// SIGTERM, SIGHUP: the terminal as the user had it, then the end the signal
// would have brought, so that the exit status still names it.
void onEndSignal(int number) {
    restoreTerminalFromSignal();
    signal(number, SIG_DFL);
    // Blocked until the handler returns, then delivered.
    raise(number);
}

void catchEndSignal(int number) {
    struct sigaction action {};
    // One ignored from the start (nohup) stays ignored.
    if (sigaction(number, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) return;
    action = {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
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
        catchEndSignal(SIGTERM);
        catchEndSignal(SIGHUP);
    });
}

bool takeInterrupt() { return interrupted.exchange(0) != 0; }

void addInterruptListener() { listeners.fetch_add(1); }

void removeInterruptListener() { listeners.fetch_sub(1); }
