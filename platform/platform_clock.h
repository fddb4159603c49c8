// Millisecond clock with timeGetTime semantics (unsigned 32-bit, wraps) and
// sleeps. Tests may replace both to run long waits in a moment.
#pragma once

#include <cstdint>

uint32_t clockMillis();
void sleepMillis(unsigned ms);

typedef uint32_t (*ClockHook)();
typedef void (*SleepHook)(unsigned ms);
// Null restores the real clock or sleep.
void setClockHooks(ClockHook clock, SleepHook sleep);
