// A text that one thread rewrites while another compares with it: only
// reachable through these calls, each of which holds a tiny lock for a copy
// or a comparison of a few bytes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>

template <size_t N>
class LockedText {
public:
    void set(const char* text) {
        lock();
        size_t i = 0;
        for (; i + 1 < N && text[i]; ++i) text_[i] = text[i];
        text_[i] = '\0';
        unlock();
    }
    // Copies into out (always terminated).
    void copyTo(char* out, size_t size) const {
        if (size == 0) return;
        lock();
        size_t i = 0;
        for (; i + 1 < size && text_[i]; ++i) out[i] = text_[i];
        out[i] = '\0';
        unlock();
    }
    bool equals(const char* text) const {
        lock();
        bool same = std::strcmp(text, text_) == 0;
        unlock();
        return same;
    }
    void clear() { set(""); }

private:
    void lock() const {
        while (busy_.test_and_set(std::memory_order_acquire)) {}
    }
    void unlock() const { busy_.clear(std::memory_order_release); }

    char text_[N] = {};
    mutable std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
};
