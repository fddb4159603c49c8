// The device's web server: the status page, the upgrade trigger, 404s,
// the Digest guard, and down while the device restarts.
#pragma once

#include "tools/orbsim/sim_state.h"

// Thread body; returns once a stop is asked for. Listens while webUp is
// set, and closes its socket (connections refused) while it is not.
void runWebServer(SimState* state);
