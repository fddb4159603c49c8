// What the device's threads share: the options, whether its web server and
// recovery responder are up, the version it reports, and when to exit.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "tools/orbsim/sim_options.h"
#include "tools/orbsim/sim_truth.h"

struct SimState {
    SimOptions options;
    std::string logPrefix;  // "[ADDRESS] " in a fleet; each thread of the device shows it
    std::atomic<bool> stop{false};
    std::atomic<bool> webUp{false};
    std::atomic<bool> webListening{false};  // what the web server made of webUp
    std::atomic<bool> inRecovery{false};
    std::atomic<unsigned> bootCount{0};  // a web server seeing it change forgets its nonce
    std::atomic<bool> upgrading{false};
    std::atomic<unsigned> triggersIgnored{0};

    std::mutex mutex;  // guards the fields below
    std::string softwareVersion;
    bool exitArmed = false;
    std::chrono::steady_clock::time_point exitAt;
    int exitCode = 0;
    std::thread upgradeThread;
    SimTruth truth;
};

// Changes the device's record under the lock.
template <class Change>
void noteTruth(SimState* state, Change change) {
    std::lock_guard<std::mutex> lock(state->mutex);
    change(state->truth);
}

std::string currentVersion(SimState* state);
void setCurrentVersion(SimState* state, const std::string& version);

// Sleeps ms in short steps; false as soon as a stop is asked for.
bool simSleep(const SimState& state, unsigned ms);

// Exit with code after seconds from now (--exit-after).
void armExit(SimState* state, unsigned seconds, int code);
// True with the code once an armed exit is due.
bool exitDue(SimState* state, int* code);
