#include <windows.h>

#include "ui/front_end.h"

int ShowErrorBox(const char* text, const char* caption) {
    return MessageBoxA(nullptr, text, caption ? caption : kErrorBoxCaption, MB_OK | MB_TASKMODAL);
}

void showMessageBox(const char* text, const char* caption) { MessageBoxA(nullptr, text, caption, MB_OK); }
