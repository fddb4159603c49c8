// The device's upgrade: fetch the image, judge it, keep it, restart and
// come back with the version it carries (or, as told, drop it and stay up,
// or flap: up briefly on the old version between two downs).
#pragma once

#include <cstdint>
#include <string>

#include "tools/orbsim/sim_state.h"

struct UpgradeSource {
    uint32_t serverAddress;  // host order; the group in a recovery
    uint16_t serverPort;
    std::string fileName;
    bool viaGroup;
};

// Runs the upgrade on a thread of its own. False (nothing started) while
// another upgrade runs.
bool startUpgrade(SimState* state, const UpgradeSource& source);

// Waits for a running upgrade thread (after a stop was asked for).
void joinUpgrade(SimState* state);
