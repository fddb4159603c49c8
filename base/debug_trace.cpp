#include "base/debug_trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/text.h"

static std::atomic<bool> traceOn{false};

void setTraceOn(bool on) { traceOn.store(on); }

void debugTrace(const char* format, ...) {
    if (!traceOn.load()) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    size_t length = std::strlen(line);
    if (length && line[length - 1] == '\n') line[--length] = '\0';
    // Names in traces come from the network: control bytes are shown, not obeyed.
    char shown[sizeof line * 4];
    escapeControls(shown, sizeof shown, line);
    std::fprintf(stderr, "trace: %s\n", shown);
}
