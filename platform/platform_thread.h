// Threads: start, ask whether ended (never through a "still active" exit
// code), read the result, release.
#pragma once

#include <cstdint>

struct OrbThread;
typedef int (*OrbThreadBody)(void* argument);

// Returns null when the thread cannot be started.
OrbThread* threadStart(OrbThreadBody body, void* argument);
// Waits at most timeoutMs for the thread to end; whether it has.
bool threadWaitEnded(OrbThread* thread, unsigned timeoutMs);
// Valid once threadWaitEnded returned true.
int threadResult(OrbThread* thread);
// Blocks until the thread has ended.
void threadJoin(OrbThread* thread);
// Frees the handle; an ended thread only.
void threadRelease(OrbThread* thread);
// Frees the handle of a thread that may still run; nobody waits for it.
void threadDetach(OrbThread* thread);
// Starts a thread nobody waits for.
bool threadStartDetached(OrbThreadBody body, void* argument);
