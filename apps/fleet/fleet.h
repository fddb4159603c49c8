// Many devices in one run: one child process per device, running the same
// program's command line for one device with --json, at most --jobs at
// once, with a live table and a summary. No run of its own.
#pragma once

#include "core/program_profile.h"
#include "platform/platform_console.h"
#include "apps/command_line/cli_options.h"
#include "core/run_request.h"

// The exit code.
int runFleet(const ProgramProfile& profile, const CliOptions& options, RunRequest& request, Console& console);
