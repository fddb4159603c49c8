// The one way a run ends, from whichever thread meets the end: the outcome
// is recorded, its message (the table's, or the one given) goes into the
// error box, and the process ends with the exit code the program derives
// from the outcome (always 0 for the wizard).
#pragma once

#include "core/run_outcome.h"

[[noreturn]] void endRun(RunOutcome outcome, const char* message = nullptr);

// The outcome once endRun was called.
bool runHasEnded();
RunOutcome recordedOutcome();

// Maps an outcome to the process's exit code; unset: 0.
typedef int (*ExitCodeRule)(RunOutcome outcome);
void setExitCodeRule(ExitCodeRule rule);

// Told of the end, after the error box and before the process ends.
typedef void (*RunEndListener)(RunOutcome outcome, const char* message);
void setRunEndListener(RunEndListener listener);

// Tests: called instead of ending the process; must not return (it throws).
typedef void (*RunEndHandler)(RunOutcome outcome);
void setRunEndHandler(RunEndHandler handler);
