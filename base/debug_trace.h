// Trace lines of the TFTP and recovery code: discarded, unless the command
// line's --verbose asked for them on standard error.
#pragma once

void setTraceOn(bool on);
void debugTrace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
