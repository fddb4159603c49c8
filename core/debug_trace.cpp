#include "core/debug_trace.h"

void debugTrace(const char*, ...) {}
