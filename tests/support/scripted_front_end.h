// A front end for tests: dialogs answer from a script, and everything the
// code shows is recorded. Safe to use from several threads.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ScriptedFrontEnd {
    // Answers a wizard dialog; may fill the context as the dialog would.
    // Unset: every dialog declines.
    std::function<int(int templateId)> onDialog;
    // Called on every pump of a progress window; may cancel it.
    std::function<void(struct ProgressWindow* window, int templateId)> onPump;
};

// The script; set before the code under test runs.
ScriptedFrontEnd& scriptedFrontEnd();

// What was shown, in order: "dialog 104", "error Upgrade Failed: ...",
// "message Error|text", "open 105", "title ...", "text 1032 ...",
// "range 105 100", "destroy 105".
std::vector<std::string> frontEndEvents();
// Last progress position set per template, -1 when never set.
int lastProgressPosition(int templateId);
void resetScriptedFrontEnd();
