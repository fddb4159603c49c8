// The history on the command line: where a run adds to it, the record of a
// run of one device, and the history command that reads it back.
#pragma once

#include <string>

#include "apps/command_line/cli_options.h"
#include "core/run.h"
#include "core/run_request.h"

// The file an upgrade or a recovery adds to ("" for none: --no-history, a
// fleet's child, check), checked before anything starts: false with a
// usage message when it cannot be written.
bool prepareHistory(const CliOptions& options, std::string* path, std::string* error);

// A run of one device ended with code: its record added to path, or why not
// said on standard error (the run's exit code stands).
void recordRun(const ProgramProfile& profile, const std::string& path, const Run& run, const RunRequest& request,
               int code);

// history [ADDRESS|SERIAL]... [--since DATE] [--json]: the records named,
// newest first; a damaged line is said and skipped. The exit code.
int runHistoryCommand(const ProgramProfile& profile, const CliOptions& options);
