// Shared pieces of the TFTP tests: images, a fake clock, runs against
// 127.0.0.1 and the device's web server that answers their status reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/program_profile.h"
#include "tests/support/recording_front_end.h"
#include "tests/support/scripted_http_server.h"

// An image whose bytes are a function of their offset and seed; the
// version sits in the header as the programs read it.
std::vector<uint8_t> makeTestImage(uint32_t size, uint32_t seed, const char* version);

// The profile with a short retry limit, so that time-outs come quickly.
const int kQuickRetryLimit = 4;
ProgramProfile quickProfile(const ProgramProfile& profile);

// A run whose device is 127.0.0.1 (shown as 10.1.0.13), an ORB-A110 that
// fetches /orb1a2b.bi1, with short HTTP time-outs.
struct TftpRun : TestRun {
    explicit TftpRun(const ProgramProfile& profile, const RunOptions& options = {});
    // Serves bytes (which must outlive the run) as the target or transition image.
    void install(const std::vector<uint8_t>& bytes, bool transition = false);
};

// The answers of the device's web server (127.0.0.1:80) to the status
// reads after an upload: a page of serial ORB0012345 with this software
// version ("!VERSION": of serial ORB0099999; "?": without a version), or a
// connection closed without a byte.
ScriptedAnswer statusPage(const std::string& version);
ScriptedAnswer silentAnswer();

// A clock that moves when slept on (a sleep takes no time) and, when it
// runs, also with real time, so that waits on sockets still end.
void useFakeClock(uint32_t start, bool runs = false);
void useRealClock();
uint32_t fakeSleepCount();
