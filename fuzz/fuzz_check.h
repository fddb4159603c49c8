// Invariant checks for the fuzz targets: a failed one is a crash.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

inline void fuzzCheck(bool holds) {
    if (!holds) std::abort();
}

// A fixed field must hold a NUL within its own bytes.
inline void fuzzCheckTerminated(const char* field, size_t size) {
    fuzzCheck(std::memchr(field, '\0', size) != nullptr);
}
