// What a user runs when an upgrade does not start: the local side and the
// device looked at without changing anything on the device. Each finding
// goes to the run's front end as a line.
#pragma once

#include <string>

#include "core/run.h"

// Checks the run's target from its local address: subnet, TFTP port, web
// server, credentials, facts, model and version. Success when nothing
// blocks an upgrade, else the outcome of the first problem.
RunOutcome checkDevice(Run& run);

// Whether the device is on the subnet of the run's local address; *known
// false when the local address or its mask is not known.
bool onLocalSubnet(const UpgradeContext& context, bool* known);

// check's verdict on the device in a few words, from its outcome and what
// it read: "would upgrade", "already current", "not on this PC's subnet",
// "no answer", "password refused", "image not for this model", ...
const char* checkVerdict(const Run& run, RunOutcome outcome);
// A verdict read back (a fleet's child's): nothing stands in the way of an
// upgrade ("would upgrade" or "already current"), and whether it is current.
bool verdictClear(const std::string& verdict);
bool verdictCurrent(const std::string& verdict);
