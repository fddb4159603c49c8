// What a user runs when an upgrade does not start: the local side and the
// device looked at without changing anything on the device.
#pragma once

#include <cstdint>

#include "core/run_outcome.h"

enum class Finding { Ok, Warning, Problem };

struct CheckHooks {
    void* context;
    // One line per finding.
    void (*report)(void* context, Finding finding, const char* text);
    // Fills the credentials when the device asks for them; false: none to give.
    bool (*credentials)(void* context);
};

// Checks the run's target from its local address: subnet, TFTP port, web
// server, credentials, facts, model and version. Success when nothing
// blocks an upgrade, else the outcome of the first problem.
RunOutcome checkDevice(const CheckHooks& hooks);
