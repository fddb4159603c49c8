// The progress windows (connecting 105, upload 110, waiting 114): modeless
// dialogs of the thread that opens them, pumped when the driver polls.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "core/program_profile.h"
#include "base/text.h"
#include "ui/resource_ids.h"
#include "ui/win32/win32_front_end.h"
#include "ui/win32/window_placement.h"

struct ProgressView {
    HWND window;
    HWND bar;
    bool cancelled;
    char title[192];  // as last set, before any note
};

namespace {

int templateOf(ProgressKind kind) {
    switch (kind) {
        case ProgressKind::Connecting: return IDD_CONNECTING;
        case ProgressKind::Upload: return IDD_UPLOAD;
        case ProgressKind::Waiting: return IDD_WAITING;
    }
    return IDD_CONNECTING;
}

ProgressView* viewOf(HWND window) { return reinterpret_cast<ProgressView*>(GetWindowLongPtrA(window, DWLP_USER)); }

// One procedure for the three windows: range, position, title and texts are
// the driver's; Cancel (and the close box, which the dialog handling turns
// into Cancel) is noted for the driver's next poll.
INT_PTR CALLBACK progressWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            ProgressView* view = reinterpret_cast<ProgressView*>(lParam);
            view->window = window;
            view->bar = GetDlgItem(window, IDC_PROGRESS);
            SetWindowLongPtrA(window, DWLP_USER, lParam);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                if (ProgressView* view = viewOf(window)) view->cancelled = true;
                return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

ProgressView* win32OpenProgress(void* instance, ProgressKind kind, const char* title) {
    ProgressView* view = new (std::nothrow) ProgressView{};
    if (!view) return nullptr;
    HWND window = CreateDialogParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(templateOf(kind)),
                                     nullptr, progressWindowProcedure, reinterpret_cast<LPARAM>(view));
    if (!window) {
        delete view;
        return nullptr;
    }
    if (title) {
        copyText(view->title, sizeof view->title, title);
        SetWindowTextA(window, title);
    } else {
        GetWindowTextA(window, view->title, sizeof view->title);
    }
    CenterOnScreen(window);
    ShowWindow(window, SW_SHOWNORMAL);
    return view;
}

void win32SetProgressRange(ProgressView* view, unsigned maximum) {
    SendMessageA(view->bar, PBM_SETRANGE, 0, MAKELPARAM(0, maximum & 0xFFFF));
}

void win32SetProgressPosition(ProgressView* view, unsigned position) {
    SendMessageA(view->bar, PBM_SETPOS, position, 0);
}

void win32SetProgressTitle(ProgressView* view, const char* title) {
    copyText(view->title, sizeof view->title, title);
    SetWindowTextA(view->window, title);
}

void win32SetProgressText(ProgressView* view, bool orbstage, const char* text) {
    SetDlgItemTextA(view->window, orbstage ? IDC_STAGE_WAITING_TEXT : IDC_FLASH_WAITING_TEXT, text);
}

// The window's texts are laid out to the last line: a note goes into the title.
void win32SetProgressNote(ProgressView* view, const char* note) {
    char title[448];
    formatText(title, sizeof title, "%s - %s", view->title, note);
    SetWindowTextA(view->window, title);
}

// Only this window's messages (and its controls'): others of the thread wait.
bool win32PollProgress(ProgressView* view) {
    MSG message;
    while (!view->cancelled && PeekMessageA(&message, view->window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return view->cancelled;
}

void win32CloseProgress(ProgressView* view) {
    if (view->window) DestroyWindow(view->window);
    delete view;
}
