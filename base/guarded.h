// A record that one thread rewrites while another reads it: reachable only
// as a whole copy or through a change made under its tiny lock, so no
// reader ever sees it half-written.
#pragma once

#include "base/spin_lock.h"

template <typename T>
class Guarded {
public:
    T get() const {
        SpinGuard guard(lock_);
        return value_;
    }
    void set(const T& value) {
        SpinGuard guard(lock_);
        value_ = value;
    }
    // change(T&) runs under the lock: a copy or a few comparisons, no waiting.
    template <typename Change>
    void update(Change&& change) {
        SpinGuard guard(lock_);
        change(value_);
    }

private:
    T value_{};
    mutable SpinLock lock_;
};
