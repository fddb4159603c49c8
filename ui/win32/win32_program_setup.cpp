// What a Windows program sets up before start-up: the common-control
// classes its dialogs use and, in orbstage, its window class.
#include <windows.h>
#include <commctrl.h>

#include "ui/win32/win32_front_end.h"

namespace {
// orbflash: tab and tooltip, progress, internet (IP address); orbstage:
// progress and internet.
const DWORD kFlashControls = 0x828;
const DWORD kStageControls = 0x820;

LRESULT CALLBACK idleWindowProcedure(HWND, UINT, WPARAM, LPARAM) { return 0; }

// No window of the class is ever made; only whether it registers counts.
bool registerProgramWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = idleWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "OrbUpgrade";
    return RegisterClassA(&windowClass) != 0;
}
}  // namespace

bool win32Prepare(void* instance, const ProgramProfile& profile) {
    const bool stage = isOrbstage(profile);
    if (stage && !registerProgramWindowClass(static_cast<HINSTANCE>(instance))) return false;
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = stage ? kStageControls : kFlashControls;
    InitCommonControlsEx(&controls);
    return true;
}
