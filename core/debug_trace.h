// Trace lines of the TFTP code. Nothing is kept.
#pragma once

void debugTrace(const char* format, ...);
