// The command line as a front end: the wizard's dialogs answered from the
// options, progress windows that only watch for Ctrl+C, and the run's
// steps as lines, a live bar and JSON events.
#pragma once

#include <string>

#include "core/run_outcome.h"
#include "ui/cli/cli_options.h"

struct CliRun {
    CliOptions options;
    std::string password;  // never printed
    bool havePassword = false;
    int localIndex = 0;  // into localAddresses; -1: none listed
    std::string device;  // how lines name the device
};

// run->device is set already: the JSON events name the device so throughout.
void useCommandLineFrontEnd(CliRun* run);

// The credentials for the device: the password given, else one typed at a
// hidden prompt on a terminal; false when there is none to give.
bool supplyCredentials(CliRun* run);

// The exit status of an outcome, the same in both programs and builds.
int cliExitCode(RunOutcome outcome);
