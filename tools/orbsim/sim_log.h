// One line per event on stdout, "orbsim: ..." so a person can follow a run
// and a test can wait for a line. Safe from any thread.
#pragma once

#include <cstdint>
#include <string>

// Makes stdout line-buffered; call once before the first line.
void simLogStart();

void simLog(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A host-order IPv4 address as the log shows it.
std::string simDotted(uint32_t address);
