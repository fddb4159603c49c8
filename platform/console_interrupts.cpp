// Ctrl+C and requests to end as the console's handlers record them, and the
// console's answers about them.
#include "platform/console_interrupts.h"

#include <atomic>

namespace {
// Set from signal handlers: lock-free atomics only.
std::atomic<int> catchingHow{0};  // 0: not caught; else 1 + InterruptCatching
std::atomic<int> listeners{0};
std::atomic<int> presses{0};
std::atomic<bool> untaken{false};
std::atomic<bool> unheard{false};
std::atomic<bool> terminated{false};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

int codeOf(InterruptCatching catching) { return 1 + static_cast<int>(catching); }
}  // namespace

void noteInterrupt() {
    if (catchingHow.load() == codeOf(InterruptCatching::WhileHeard) && listeners.load() == 0) {
        // Nothing on screen acts on it: the front end ends the run when it next looks.
        unheard.store(true);
        return;
    }
    presses.fetch_add(1);
    untaken.store(true);
}

void noteTermination() { terminated.store(true); }

bool claimInterruptCatching(InterruptCatching catching) {
    int none = 0;
    return catchingHow.compare_exchange_strong(none, codeOf(catching));
}

void Console::addInterruptListener() { listeners.fetch_add(1); }

void Console::removeInterruptListener() { listeners.fetch_sub(1); }

bool Console::takeInterrupt() { return untaken.exchange(false); }

bool Console::unheardInterrupt() const { return unheard.load(); }

bool Console::interrupted() const { return presses.load() != 0 || terminated.load(); }

int Console::interruptCount() const {
    // A termination request cancels at once, as a second Ctrl+C does.
    int count = presses.load();
    return terminated.load() && count < 2 ? 2 : count;
}

bool Console::terminationRequested() const { return terminated.load(); }
