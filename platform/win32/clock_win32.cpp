#include "platform/platform_clock.h"

#include <atomic>
#include <windows.h>
#include <mmsystem.h>

static std::atomic<ClockHook> clockHook{nullptr};
static std::atomic<SleepHook> sleepHook{nullptr};

uint32_t clockMillis() {
    if (ClockHook hook = clockHook.load()) return hook();
    return timeGetTime();
}

void sleepMillis(unsigned ms) {
    if (SleepHook hook = sleepHook.load()) {
        hook(ms);
        return;
    }
    Sleep(ms);
}

void setClockHooks(ClockHook clock, SleepHook sleep) {
    clockHook.store(clock);
    sleepHook.store(sleep);
}
