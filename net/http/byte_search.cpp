#include "net/http/byte_search.h"

#include <cstring>

size_t findBytes(const char* text, size_t length, const char* needle) {
    size_t needleLength = std::strlen(needle);
    if (needleLength == 0 || needleLength > length) return needleLength == 0 ? 0 : kNotFound;
    const size_t last = length - needleLength;
    for (size_t at = 0; at <= last; ++at) {
        const void* first = std::memchr(text + at, needle[0], last - at + 1);
        if (!first) return kNotFound;
        at = static_cast<size_t>(static_cast<const char*>(first) - text);
        if (std::memcmp(text + at, needle, needleLength) == 0) return at;
    }
    return kNotFound;
}

size_t findByte(const char* text, size_t length, char c) {
    const void* found = std::memchr(text, c, length);
    return found ? static_cast<size_t>(static_cast<const char*>(found) - text) : kNotFound;
}

namespace {
char lowered(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool startsWithIgnoringCase(const char* text, size_t length, const char* prefix) {
    size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i == length || lowered(text[i]) != lowered(prefix[i])) return false;
    }
    return true;
}

size_t findBytesIgnoringCase(const char* text, size_t length, const char* needle) {
    if (needle[0] == '\0') return 0;
    for (size_t at = 0; at < length; ++at) {
        if (startsWithIgnoringCase(text + at, length - at, needle)) return at;
    }
    return kNotFound;
}
