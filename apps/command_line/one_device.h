// A command line's run of one device, and what it does without one: the
// commands that need no device and the usage errors.
#pragma once

#include <string>

#include "apps/command_line/cli_options.h"
#include "core/run.h"
#include "core/run_request.h"
#include "platform/platform_console.h"

// "PROGRAM: MESSAGE (see PROGRAM --help)" on standard error; the usage exit code.
int usageError(const ProgramProfile& profile, const std::string& message);

// --help, --version, --list-addresses: true with the exit code in *code.
bool runInformationCommand(const ProgramProfile& profile, const CliOptions& options, int* code);

// One device: upgrade, recover or check, with the program's flow and the
// command-line front end, its end added to the history file (none: "");
// the exit code.
int runOneDevice(const ProgramProfile& profile, Console& console, const CliOptions& options,
                 const RunRequest& request, void (*flow)(Run&), Stage initialStage, const std::string& history);
