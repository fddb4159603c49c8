#include "base/text.h"

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

char* escapeControls(char* out, size_t size, const char* text, bool keepLineBreaks) {
    if (size == 0) return out;
    size_t used = 0;
    for (const char* at = text; *at; ++at) {
        unsigned char c = static_cast<unsigned char>(*at);
        bool lineBreak = c == '\n' || (c == '\r' && at[1] == '\n');
        if ((c < 0x20 || c == 0x7F) && !(keepLineBreaks && lineBreak)) {
            if (used + 4 >= size) break;
            std::snprintf(out + used, 5, "\\x%02x", c);
            used += 4;
        } else {
            if (used + 1 >= size) break;
            out[used++] = static_cast<char>(c);
        }
    }
    out[used] = '\0';
    return out;
}
