// What the console's handlers record, for both systems' consoles: lock-free
// atomics only, so that a signal handler may set them.
#pragma once

#include "platform/platform_console.h"

// Ctrl+C: counted when heard, else noted as unheard (InterruptCatching::WhileHeard).
void noteInterrupt();
void noteTermination();
// The first call decides how Ctrl+C is caught: true for it, false for later ones.
bool claimInterruptCatching(InterruptCatching catching);
