// The connecting window shown modally for the recovery search, and what the
// search thread does with it: the bar's timer and the final command.
#include <windows.h>

#include "core/upgrade_context.h"
#include "ui/resource_ids.h"
#include "ui/win32/win32_progress_window.h"

// One search per run, on the main thread; the search thread may still hold
// the record when the window has ended.
static ProgressWindow searchWindow;

int showSearchWindow(SearchBody searchBody) {
    searchWindow = ProgressWindow{};
    searchWindow.templateId = IDD_CONNECTING;
    searchWindow.modal = true;
    searchWindow.searchBody = searchBody;
    INT_PTR result = DialogBoxParamA(static_cast<HINSTANCE>(gContext.instance), MAKEINTRESOURCEA(IDD_CONNECTING),
                                     nullptr, connectingWindowProcedure, reinterpret_cast<LPARAM>(&searchWindow));
    return result == 1 ? 1 : 0;
}

// Runs on the window's thread, whichever thread set the timer.
static void CALLBACK progressTimerProcedure(HWND window, UINT, UINT_PTR timerId, DWORD) {
    ProgressWindow* progress = progressWindowOf(window);
    if (!progress) return;
    for (const ProgressTimer& timer : progress->timers) {
        if (timer.callback && timer.id == timerId) {
            timer.callback(progress);
            return;
        }
    }
}

void startProgressTimer(ProgressWindow* window, unsigned timerId, unsigned periodMs, ProgressTimerCallback callback) {
    if (!window || !window->window) return;
    ProgressTimer* slot = nullptr;
    for (ProgressTimer& timer : window->timers) {
        if (timer.callback && timer.id == timerId) {
            slot = &timer;
            break;
        }
        if (!timer.callback && !slot) slot = &timer;
    }
    if (!slot) return;
    // Filled before the timer exists, so its first tick sees the callback.
    slot->id = timerId;
    slot->callback = callback;
    SetTimer(window->window, timerId, periodMs, progressTimerProcedure);
}

void stopProgressTimer(ProgressWindow* window, unsigned timerId) {
    // The slot stays filled: a tick may be running on the window's thread.
    if (window && window->window) KillTimer(window->window, timerId);
}

void sendProgressCommand(ProgressWindow* window, int command) {
    if (window && window->window) SendMessageA(window->window, WM_COMMAND, static_cast<WPARAM>(command), 0);
}
