// The terminal's progress windows: one status line each (the topmost one is
// drawn), their timers and the commands other threads send them. Shared by
// the modeless windows and the modal search window.
#pragma once

#include <cstdint>
#include <thread>

#include "ui/front_end.h"

const int kWindowTimers = 4;
const size_t kWindowTitleSize = 256;

struct WindowTimer {
    bool active;
    unsigned id;
    unsigned periodMs;
    uint64_t dueMs;
    ProgressTimerCallback callback;
};

struct ProgressWindow {
    bool inUse;
    bool shown;  // in the list of windows on screen (false for the spare)
    int templateId;
    std::thread::id owner;
    uint64_t order;  // higher: opened later, drawn on top
    char title[kWindowTitleSize];
    unsigned maximum;
    unsigned position;
    bool dirty;  // changed since last drawn
    WindowTimer timers[kWindowTimers];
    int postedCommand;  // from another thread, 0 when none waits
    bool modal;
    bool modalEnded;
};

// The steps of one pump on the owner's thread: a posted command, due timers,
// Ctrl+C and Esc/q for the topmost window, the status line if due.
void pumpWindow(ProgressWindow* window);
// Waits at most timeoutMs for a command posted to the window.
void waitForWindowCommand(ProgressWindow* window, unsigned timeoutMs);
// A monotonic millisecond clock that costs no system call.
uint64_t screenMillis();
