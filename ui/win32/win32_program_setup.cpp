#include <windows.h>
#include <commctrl.h>

#include "ui/front_end.h"

void initCommonControls(unsigned flags) {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = flags;
    InitCommonControlsEx(&controls);
}

static LRESULT CALLBACK idleWindowProcedure(HWND, UINT, WPARAM, LPARAM) { return 0; }

bool registerProgramWindowClass(void* instance) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = idleWindowProcedure;
    windowClass.hInstance = static_cast<HINSTANCE>(instance);
    windowClass.lpszClassName = "OrbUpgrade";
    return RegisterClassA(&windowClass) != 0;
}
