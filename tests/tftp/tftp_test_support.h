// Shared pieces of the TFTP tests: images, a fake clock, a scripted status
// read in place of the real request runner, and verdicts for tests whose
// code under test ends the process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/program_profile.h"

// An image whose bytes are a function of their offset and seed; the
// version sits in the header as the programs read it.
std::vector<uint8_t> makeTestImage(uint32_t size, uint32_t seed, const char* version);
// Points gContext.image (or transitionImage) at bytes, which must outlive the run.
void installImage(const std::vector<uint8_t>& bytes, bool transition = false);

// The real profiles with a short retry limit, so time-outs come quickly.
extern ProgramProfile gQuickFlash;
extern ProgramProfile gQuickStage;
const int kQuickRetryLimit = 4;

// A clock that moves when slept on (a sleep takes no time) and, when it
// runs, also with real time, so that waits on sockets still end.
void useFakeClock(uint32_t start, bool runs = false);
void useRealClock();
uint32_t fakeSleepCount();

// runRequest as the tests script it: each call takes the next result (the
// last one repeats); a result above 0 sets the device's software version.
struct StatusRead {
    int result;
    std::string version;  // empty: the version of the image just served
};
void scriptStatusReads(const std::vector<StatusRead>& reads);
int statusReadCount();
// Runs before every status read (a test may wait for its client here).
void setBeforeStatusRead(std::function<void()> hook);

// Fresh context, scripted front end and fakes; gProgram set.
void resetTftpTest(const ProgramProfile* program);

int countEvents(const std::string& prefix);
// Whether events starting with these prefixes occur in this order.
bool eventsInOrder(const std::vector<std::string>& prefixes);
std::string allEvents();
