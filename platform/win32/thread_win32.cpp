#include "platform/platform_thread.h"

#include <new>
#include <windows.h>

struct OrbThread {
    HANDLE handle;
};

namespace {
// Owned by the new thread, so that the handle's record may go first.
struct ThreadStart {
    OrbThreadBody body;
    void* argument;
};
}  // namespace

static DWORD WINAPI threadTrampoline(LPVOID raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    return static_cast<DWORD>(start.body(start.argument));
}

OrbThread* threadStart(OrbThreadBody body, void* argument) {
    OrbThread* thread = new (std::nothrow) OrbThread;
    ThreadStart* start = new (std::nothrow) ThreadStart{body, argument};
    if (!thread || !start) {
        delete thread;
        delete start;
        return nullptr;
    }
    DWORD id;
    thread->handle = CreateThread(nullptr, 0, threadTrampoline, start, 0, &id);
    if (!thread->handle) {
        delete thread;
        delete start;
        return nullptr;
    }
    return thread;
}

// A zero time-out wait, not the exit code: a worker whose result is 259
// (STILL_ACTIVE) must still count as ended.
bool threadWaitEnded(OrbThread* thread, unsigned timeoutMs) {
    return WaitForSingleObject(thread->handle, timeoutMs) == WAIT_OBJECT_0;
}

int threadResult(OrbThread* thread) {
    DWORD code = 0;
    GetExitCodeThread(thread->handle, &code);
    return static_cast<int>(code);
}

void threadJoin(OrbThread* thread) { WaitForSingleObject(thread->handle, INFINITE); }

void threadRelease(OrbThread* thread) {
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
    delete thread;
}

void threadDetach(OrbThread* thread) {
    CloseHandle(thread->handle);
    delete thread;
}

bool threadStartDetached(OrbThreadBody body, void* argument) {
    OrbThread* thread = threadStart(body, argument);
    if (!thread) return false;
    threadDetach(thread);
    return true;
}
