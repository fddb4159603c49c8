#include "core/reboot_tick.h"

#ifndef ORB_REBOOT_TICK_MS
#define ORB_REBOOT_TICK_MS 32
#endif

static_assert(ORB_REBOOT_TICK_MS > 0, "a reboot tick lasts at least 1 ms");

extern const unsigned kRebootTickMs = ORB_REBOOT_TICK_MS;
