#include "tools/orbsim/sim_log.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {
std::mutex gLogMutex;
std::atomic<bool> gShowTimes{false};
std::chrono::steady_clock::time_point gStart = std::chrono::steady_clock::now();
thread_local std::string tPrefix;
}  // namespace

void simLogStart() {
    gStart = std::chrono::steady_clock::now();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

void simLogSetPrefix(const std::string& prefix) { tPrefix = prefix; }

void simLogShowTimes(bool on) { gShowTimes = on; }

void simLog(const char* format, ...) {
    char line[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    char time[32] = "";
    if (gShowTimes) {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - gStart);
        long long count = static_cast<long long>(ms.count());
        std::snprintf(time, sizeof time, "%lld.%03lld ", count / 1000, count % 1000);
    }
    // Whole lines only: threads must not interleave inside one.
    std::lock_guard<std::mutex> lock(gLogMutex);
    std::fprintf(stdout, "orbsim: %s%s%s\n", time, tPrefix.c_str(), line);
    std::fflush(stdout);
}

std::string simDotted(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 255) + "." +
           std::to_string(address >> 8 & 255) + "." + std::to_string(address & 255);
}

std::string simSeconds(unsigned ms) {
    std::string shown = std::to_string(ms / 1000);
    if (ms % 1000 == 0) return shown;
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    return shown + "." + fraction.substr(0, fraction.find_last_not_of('0') + 1);
}

std::string simEscape(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string shown;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\r')
            shown += "\\r";
        else if (c == '\n')
            shown += "\\n";
        else if (c == '\t')
            shown += "\\t";
        else if (c == '"' || c == '\\')
            shown += std::string("\\") + c;
        else if (byte < 0x20 || byte > 0x7E)
            shown += std::string("\\x") + digits[byte >> 4] + digits[byte & 15];
        else
            shown += c;
    }
    return shown;
}
