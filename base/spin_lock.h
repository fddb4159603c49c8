// A lock for a few bytes' worth of work, held only for a copy, a comparison
// or one write: the Windows build's threads have no std::mutex.
#pragma once

#include <atomic>

class SpinLock {
public:
    void lock() {
        while (busy_.test_and_set(std::memory_order_acquire)) {}
    }
    void unlock() { busy_.clear(std::memory_order_release); }

private:
    std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
};

// Holds a SpinLock for a scope.
class SpinGuard {
public:
    explicit SpinGuard(SpinLock& lock) : lock_(lock) { lock_.lock(); }
    ~SpinGuard() { lock_.unlock(); }
    SpinGuard(const SpinGuard&) = delete;
    SpinGuard& operator=(const SpinGuard&) = delete;

private:
    SpinLock& lock_;
};
