#include "platform/platform_thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <pthread.h>

struct OrbThread {
    pthread_t id;
    OrbThreadBody body;
    void* argument;
    int result;
    std::mutex lock;
    std::condition_variable endedChanged;
    bool ended;
    bool detached;  // nobody will release it: the thread frees its record
};

static void* threadTrampoline(void* raw) {
    OrbThread* thread = static_cast<OrbThread*>(raw);
    int result = thread->body(thread->argument);
    std::unique_lock<std::mutex> guard(thread->lock);
    thread->result = result;
    thread->ended = true;
    thread->endedChanged.notify_all();
    if (thread->detached) {
        guard.unlock();
        delete thread;
    }
    return nullptr;
}

OrbThread* threadStart(OrbThreadBody body, void* argument) {
    OrbThread* thread = new (std::nothrow) OrbThread;
    if (!thread) return nullptr;
    thread->body = body;
    thread->argument = argument;
    thread->result = 0;
    thread->ended = false;
    thread->detached = false;
    if (pthread_create(&thread->id, nullptr, threadTrampoline, thread) != 0) {
        delete thread;
        return nullptr;
    }
    return thread;
}

bool threadWaitEnded(OrbThread* thread, unsigned timeoutMs) {
    std::unique_lock<std::mutex> guard(thread->lock);
    return thread->endedChanged.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                         [thread] { return thread->ended; });
}

int threadResult(OrbThread* thread) {
    std::lock_guard<std::mutex> guard(thread->lock);
    return thread->result;
}

void threadJoin(OrbThread* thread) { pthread_join(thread->id, nullptr); }

void threadRelease(OrbThread* thread) {
    pthread_join(thread->id, nullptr);
    delete thread;
}

void threadDetach(OrbThread* thread) {
    // The record goes with the thread: the trampoline still writes to it.
    std::unique_lock<std::mutex> guard(thread->lock);
    if (!thread->ended) {
        thread->detached = true;
        pthread_detach(thread->id);
        return;
    }
    guard.unlock();
    pthread_join(thread->id, nullptr);
    delete thread;
}

bool threadStartDetached(OrbThreadBody body, void* argument) {
    OrbThread* thread = threadStart(body, argument);
    if (!thread) return false;
    threadDetach(thread);
    return true;
}
