// Searches within received bytes. A response may hold NUL bytes and need not
// be terminated, so every search is bounded by the count received.
#pragma once

#include <cstddef>

const size_t kNotFound = static_cast<size_t>(-1);

// Offset of the first occurrence of needle (NUL-terminated, non-empty) in
// text[0, length), or kNotFound.
size_t findBytes(const char* text, size_t length, const char* needle);

// Offset of the first byte equal to c in text[0, length), or kNotFound.
size_t findByte(const char* text, size_t length, char c);

// Whether text[0, length) begins with prefix (NUL-terminated), ASCII
// letters matched in any case.
bool startsWithIgnoringCase(const char* text, size_t length, const char* prefix);
// findBytes with ASCII letters matched in any case.
size_t findBytesIgnoringCase(const char* text, size_t length, const char* needle);
