// One line per event on stdout, "orbsim: ..." so a person can follow a run
// and a test can wait for a line. Safe from any thread.
#pragma once

#include <cstdint>
#include <string>

// Makes stdout line-buffered; call once before the first line.
void simLogStart();

// Lines written by the calling thread from now on start with this text
// (a fleet's "[127.0.0.5] "); threads start with none.
void simLogSetPrefix(const std::string& prefix);

// Puts the seconds since simLogStart (millisecond steps) before every line.
void simLogShowTimes(bool on);

void simLog(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A host-order IPv4 address as the log shows it.
std::string simDotted(uint32_t address);

// Milliseconds as the log shows seconds: "2", "0.5", "2.125".
std::string simSeconds(unsigned ms);

// Text from a command line or the network as one harmless log field:
// control bytes, bytes above 126, '"' and '\' escaped (\r \n \t \" \\ \xNN).
std::string simEscape(const std::string& text);
