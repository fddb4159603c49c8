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

// Copies text with every control byte (below 0x20, and 0x7F) written as
// \xNN, so that text from the network is shown, not obeyed; line breaks
// too unless keepLineBreaks (then CR LF and LF stay as they are). Cut to
// fit out; returns out.
char* escapeControls(char* out, size_t size, const char* text, bool keepLineBreaks = false);
