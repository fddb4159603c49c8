#include "ui/win32/window_placement.h"

BOOL CenterOnScreen(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return 0;
    int x = centredOrigin(GetSystemMetrics(SM_CXSCREEN), rect.left, rect.right);
    int y = centredOrigin(GetSystemMetrics(SM_CYSCREEN), rect.top, rect.bottom);
    // No z-order or activation flags: the window also comes to the top.
    return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE);
}
