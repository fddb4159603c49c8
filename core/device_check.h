// What a user runs when an upgrade does not start: the local side and the
// device looked at without changing anything on the device. Each finding
// goes to the run's front end as a line.
#pragma once

#include "core/run.h"

// Checks the run's target from its local address: subnet, TFTP port, web
// server, credentials, facts, model and version. Success when nothing
// blocks an upgrade, else the outcome of the first problem.
RunOutcome checkDevice(Run& run);
