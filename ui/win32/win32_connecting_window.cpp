// The connecting window (dialog 105): behind every request, and in orbflash
// also behind the recovery search, which it starts itself.
#include <windows.h>

#include "platform/platform_thread.h"
#include "ui/dialog_logic.h"
#include "ui/progress_cancel.h"
#include "ui/resource_ids.h"
#include "ui/win32/win32_progress_window.h"
#include "ui/win32/window_placement.h"

static int runSearchBody(void* record) {
    ProgressWindow* window = static_cast<ProgressWindow*>(record);
    return window->searchBody(window);
}

INT_PTR CALLBACK connectingWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        ProgressWindow* progress = attachProgressWindow(window, lParam);
        char title[64];
        connectingWindowTitle(title, sizeof title);
        SetWindowTextA(window, title);
        CenterOnScreen(window);
        // A search that cannot start finds nothing.
        if (progress->searchBody && !threadStartDetached(runSearchBody, progress))
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        setProgressRange(progress, 100);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            // Sent by the search thread when the device answered.
            ProgressWindow* progress = progressWindowOf(window);
            if (progress && progress->modal) EndDialog(window, 1);
            return TRUE;
        }
        case IDCANCEL:
            cancelProgressWindow(progressWindowOf(window), IDD_CONNECTING);
        }
        break;
    }
    return FALSE;
}
