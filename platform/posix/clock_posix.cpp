#include "platform/platform_clock.h"

#include <atomic>
#include <cerrno>
#include <ctime>

static std::atomic<ClockHook> clockHook{nullptr};
static std::atomic<SleepHook> sleepHook{nullptr};

uint32_t clockMillis() {
    if (ClockHook hook = clockHook.load()) return hook();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void sleepMillis(unsigned ms) {
    if (SleepHook hook = sleepHook.load()) {
        hook(ms);
        return;
    }
    timespec wait{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {}
}

void setClockHooks(ClockHook clock, SleepHook sleep) {
    clockHook.store(clock);
    sleepHook.store(sleep);
}
