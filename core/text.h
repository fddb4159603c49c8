// Bounded text helpers for fixed-size NUL-terminated buffers.
#pragma once

#include <cstddef>

// Copies at most size-1 characters of source and always terminates.
char* copyText(char* target, size_t size, const char* source);
// Copies at most limit characters (and the NUL) but never more than fits.
char* copyTextLimited(char* target, size_t size, const char* source, size_t limit);
// snprintf that always terminates; returns the length written.
int formatText(char* target, size_t size, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
