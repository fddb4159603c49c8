#include "tools/orbsim/sim_log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {
std::mutex gLogMutex;
}

void simLogStart() { std::setvbuf(stdout, nullptr, _IOLBF, 0); }

void simLog(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // Whole lines only: threads must not interleave inside one.
    std::lock_guard<std::mutex> lock(gLogMutex);
    std::fprintf(stdout, "orbsim: %s\n", line);
    std::fflush(stdout);
}

std::string simDotted(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 255) + "." +
           std::to_string(address >> 8 & 255) + "." + std::to_string(address & 255);
}
