// The steps of the UI driver: each waits for, reads or acts on the windows
// of the program under test, with the run's time-out on every wait.
#pragma once

#include <windows.h>

#include <string>

#include "tests/wine/ui_driver_script.h"

const DWORD kDefaultTimeoutMs = 30000;

// What the steps of one run share: the window they act on, the one a
// message box came over, and the limit of every wait.
struct Run {
    HWND current = nullptr;
    HWND beforeMessageBox = nullptr;
    DWORD timeoutMs = kDefaultTimeoutMs;
};

// The outcome of one step: failed with a reason, or passed with a detail.
struct Outcome {
    bool passed;
    std::string detail;
};

// Runs one step that checkStep accepted.
Outcome runStep(Run& run, const Step& step);
