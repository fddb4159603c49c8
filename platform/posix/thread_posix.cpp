#include "platform/platform_thread.h"

#include <atomic>
#include <new>
#include <pthread.h>

struct OrbThread {
    pthread_t id;
    OrbThreadBody body;
    void* argument;
    int result;
    std::atomic<bool> ended;
};

static void* threadTrampoline(void* raw) {
    OrbThread* thread = static_cast<OrbThread*>(raw);
    thread->result = thread->body(thread->argument);
    thread->ended.store(true, std::memory_order_release);
    return nullptr;
}

OrbThread* threadStart(OrbThreadBody body, void* argument) {
    OrbThread* thread = new (std::nothrow) OrbThread;
    if (!thread) return nullptr;
    thread->body = body;
    thread->argument = argument;
    thread->result = 0;
    thread->ended.store(false);
    if (pthread_create(&thread->id, nullptr, threadTrampoline, thread) != 0) {
        delete thread;
        return nullptr;
    }
    return thread;
}

bool threadHasEnded(OrbThread* thread) { return thread->ended.load(std::memory_order_acquire); }

int threadResult(OrbThread* thread) { return thread->result; }

void threadJoin(OrbThread* thread) { pthread_join(thread->id, nullptr); }

void threadRelease(OrbThread* thread) {
    pthread_join(thread->id, nullptr);
    delete thread;
}

namespace {
struct Detached {
    OrbThreadBody body;
    void* argument;
};
}  // namespace

static void* detachedTrampoline(void* raw) {
    Detached start = *static_cast<Detached*>(raw);
    delete static_cast<Detached*>(raw);
    start.body(start.argument);
    return nullptr;
}

bool threadStartDetached(OrbThreadBody body, void* argument) {
    Detached* start = new (std::nothrow) Detached{body, argument};
    if (!start) return false;
    pthread_t id;
    if (pthread_create(&id, nullptr, detachedTrampoline, start) != 0) {
        delete start;
        return false;
    }
    pthread_detach(id);
    return true;
}
