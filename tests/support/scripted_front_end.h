// A front end for tests: dialogs answer from a script, and everything the
// code shows is recorded. Safe to use from several threads. The end of a
// run throws RunEnded instead of ending the process.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/run_outcome.h"
#include "ui/progress.h"
#include "ui/wizard.h"

struct ScriptedFrontEnd {
    // Answers a wizard dialog; may fill the context as the dialog would.
    // Unset: every dialog declines.
    std::function<int(Dialog dialog)> onDialog;
    // Called on every poll of a view; true presses its Cancel.
    std::function<bool(ProgressKind kind)> onPoll;
};

// What endRun throws in tests.
struct RunEnded {
    RunOutcome outcome;
};

// The script; set before the code under test runs.
ScriptedFrontEnd& scriptedFrontEnd();

// What was shown, in order, windows and dialogs by their template ids:
// "dialog 104", "error Upgrade Failed: ...", "message Error|text",
// "open 105", "title ...", "text ...", "note ...", "range 105 100",
// "destroy 105", "end <outcome name>".
std::vector<std::string> frontEndEvents();
// Last progress position set per template, -1 when never set.
int lastProgressPosition(int templateId);
// Runs body; the outcome its end of the run reported, or nothing when it
// returned without ending the run.
std::optional<RunOutcome> runUntilEnd(const std::function<void()>& body);
// Installs the scripted front end and the throwing end of a run; clears
// the script and the record.
void resetScriptedFrontEnd();
