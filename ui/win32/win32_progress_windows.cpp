// The modeless progress windows (connecting 105, upload 110, waiting 114):
// creation, the driver's updates, message pumping, destruction.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "core/upgrade_context.h"
#include "ui/progress_cancel.h"
#include "ui/resource_ids.h"
#include "ui/win32/win32_progress_window.h"
#include "ui/win32/window_placement.h"

ProgressWindow* attachProgressWindow(HWND window, LPARAM record) {
    ProgressWindow* progress = reinterpret_cast<ProgressWindow*>(record);
    progress->window = window;
    progress->bar = GetDlgItem(window, IDC_PROGRESS);
    SetWindowLongPtrA(window, DWLP_USER, record);
    return progress;
}

ProgressWindow* progressWindowOf(HWND window) {
    return reinterpret_cast<ProgressWindow*>(GetWindowLongPtrA(window, DWLP_USER));
}

// Dialogs 110 and 114: range, position, title and texts are the driver's.
static INT_PTR CALLBACK progressWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        attachProgressWindow(window, lParam);
        CenterOnScreen(window);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            ProgressWindow* progress = progressWindowOf(window);
            cancelProgressWindow(progress, progress ? progress->templateId : IDD_UPLOAD);
        }
        break;
    }
    return FALSE;
}

ProgressWindow* openProgressWindow(int templateId) {
    ProgressWindow* progress = new (std::nothrow) ProgressWindow{};
    if (!progress) return nullptr;
    progress->templateId = templateId;
    DLGPROC procedure = templateId == IDD_CONNECTING ? connectingWindowProcedure : progressWindowProcedure;
    HWND window = CreateDialogParamA(static_cast<HINSTANCE>(gContext.instance), MAKEINTRESOURCEA(templateId), nullptr,
                                     procedure, reinterpret_cast<LPARAM>(progress));
    if (!window) {
        delete progress;
        return nullptr;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    return progress;
}

void setProgressRange(ProgressWindow* window, unsigned maximum) {
    if (!window) return;
    SendMessageA(window->bar, PBM_SETRANGE, 0, MAKELPARAM(0, maximum & 0xFFFF));
}

void setProgressPosition(ProgressWindow* window, unsigned position) {
    if (!window) return;
    SendMessageA(window->bar, PBM_SETPOS, position, 0);
}

void setProgressTitle(ProgressWindow* window, const char* title) {
    if (!window) return;
    SetWindowTextA(window->window, title);
}

void setProgressText(ProgressWindow* window, int controlId, const char* text) {
    if (!window) return;
    SetDlgItemTextA(window->window, controlId, text);
}

// Only this window's messages (and its controls'): others of the thread wait.
static bool deliverOneMessage(ProgressWindow* window) {
    MSG message;
    if (!PeekMessageA(&message, window->window, 0, 0, PM_REMOVE)) return false;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return true;
}

void pumpProgressMessage(ProgressWindow* window) {
    if (window) deliverOneMessage(window);
}

void pumpProgressMessages(ProgressWindow* window) {
    if (!window) return;
    while (deliverOneMessage(window)) {
    }
}

void destroyProgressWindow(ProgressWindow* window) {
    if (!window) return;
    if (window->window) DestroyWindow(window->window);
    window->window = nullptr;
    if (!window->modal) delete window;
}
