// Many devices in one run: one child process per device, running the same
// program's single-device command line with --json, at most --jobs at once.
#pragma once

#include "ui/cli/cli_front_end.h"

int runFleet(const CliRun& run);
