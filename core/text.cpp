#include "core/text.h"

#include <cstdarg>
#include <cstdio>

char* copyTextLimited(char* target, size_t size, const char* source, size_t limit) {
    if (size == 0) return target;
    if (limit > size - 1) limit = size - 1;
    size_t i = 0;
    for (; i < limit && source[i]; ++i) target[i] = source[i];
    target[i] = '\0';
    return target;
}

char* copyText(char* target, size_t size, const char* source) {
    return copyTextLimited(target, size, source, size ? size - 1 : 0);
}

int formatText(char* target, size_t size, const char* format, ...) {
    if (size == 0) return 0;
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(target, size, format, args);
    va_end(args);
    if (written < 0) {
        target[0] = '\0';
        return 0;
    }
    return written < static_cast<int>(size) ? written : static_cast<int>(size) - 1;
}
