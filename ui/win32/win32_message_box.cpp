#include <windows.h>

#include "ui/win32/win32_front_end.h"

void win32ShowErrorBox(const char* text) { MessageBoxA(nullptr, text, kErrorBoxCaption, MB_OK | MB_TASKMODAL); }

void win32ShowMessageBox(const char* text, const char* caption) { MessageBoxA(nullptr, text, caption, MB_OK); }
