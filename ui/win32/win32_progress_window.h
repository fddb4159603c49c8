// The record behind a ProgressWindow handle and what the progress-window
// files share about it.
#pragma once

#include <windows.h>

#include "ui/front_end.h"

const int kProgressTimerSlots = 2;

struct ProgressTimer {
    UINT_PTR id;
    ProgressTimerCallback callback;
};

struct ProgressWindow {
    HWND window;
    HWND bar;
    int templateId;
    // The modal connecting window of the recovery search; its record is not
    // on the heap and it runs searchBody on a thread of its own.
    bool modal;
    SearchBody searchBody;
    ProgressTimer timers[kProgressTimerSlots];
};

// Called first on WM_INITDIALOG: the record (the creation parameter) learns
// its window, and the window keeps the record.
ProgressWindow* attachProgressWindow(HWND window, LPARAM record);
// Null before WM_INITDIALOG.
ProgressWindow* progressWindowOf(HWND window);

// Dialog 105, for the request runner (modeless) and the recovery search (modal).
INT_PTR CALLBACK connectingWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
