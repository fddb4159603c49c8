// A text that one thread rewrites while another compares with it: only
// reachable through these calls, each of which holds a tiny lock for a copy
// or a comparison of a few bytes.
#pragma once

#include <cstddef>
#include <cstring>

#include "base/spin_lock.h"

template <size_t N>
class LockedText {
public:
    void set(const char* text) {
        SpinGuard guard(lock_);
        size_t i = 0;
        for (; i + 1 < N && text[i]; ++i) text_[i] = text[i];
        text_[i] = '\0';
    }
    // Copies into out (always terminated).
    void copyTo(char* out, size_t size) const {
        if (size == 0) return;
        SpinGuard guard(lock_);
        size_t i = 0;
        for (; i + 1 < size && text_[i]; ++i) out[i] = text_[i];
        out[i] = '\0';
    }
    bool equals(const char* text) const {
        SpinGuard guard(lock_);
        return std::strcmp(text, text_) == 0;
    }
    void clear() { set(""); }

private:
    char text_[N] = {};
    mutable SpinLock lock_;
};
