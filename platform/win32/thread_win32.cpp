#include "platform/platform_thread.h"

#include <new>
#include <windows.h>

struct OrbThread {
    HANDLE handle;
    OrbThreadBody body;
    void* argument;
};

static DWORD WINAPI threadTrampoline(LPVOID raw) {
    OrbThread* thread = static_cast<OrbThread*>(raw);
    return static_cast<DWORD>(thread->body(thread->argument));
}

OrbThread* threadStart(OrbThreadBody body, void* argument) {
    OrbThread* thread = new (std::nothrow) OrbThread;
    if (!thread) return nullptr;
    thread->body = body;
    thread->argument = argument;
    DWORD id;
    thread->handle = CreateThread(nullptr, 0, threadTrampoline, thread, 0, &id);
    if (!thread->handle) {
        delete thread;
        return nullptr;
    }
    return thread;
}

// A zero time-out wait, not the exit code: a worker whose result is 259
// (STILL_ACTIVE) must still count as ended.
bool threadHasEnded(OrbThread* thread) { return WaitForSingleObject(thread->handle, 0) == WAIT_OBJECT_0; }

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

namespace {
struct Detached {
    OrbThreadBody body;
    void* argument;
};
}  // namespace

static DWORD WINAPI detachedTrampoline(LPVOID raw) {
    Detached start = *static_cast<Detached*>(raw);
    delete static_cast<Detached*>(raw);
    return static_cast<DWORD>(start.body(start.argument));
}

bool threadStartDetached(OrbThreadBody body, void* argument) {
    Detached* start = new (std::nothrow) Detached{body, argument};
    if (!start) return false;
    DWORD id;
    HANDLE handle = CreateThread(nullptr, 0, detachedTrampoline, start, 0, &id);
    if (!handle) {
        delete start;
        return false;
    }
    CloseHandle(handle);
    return true;
}
