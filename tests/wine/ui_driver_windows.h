// What the UI driver asks of the windows of another program in the same
// session: finding them, reading and setting controls, pressing buttons.
// Every call that sends to the other program gives up after a time-out, so
// a hung program cannot hang the driver.
#pragma once

#include <windows.h>

#include <string>

// A visible top-level window whose title is title (or begins with it).
HWND findTopLevelWindow(const std::string& title, bool prefix);

// A message box: a dialog (#32770) with a static 0xFFFF whose controls are
// all buttons and statics, which no wizard dialog is.
bool isMessageBox(HWND window);
// The first visible message box, or null.
HWND findMessageBox();

std::string windowTitle(HWND window);
// WM_GETTEXT; false when the program did not answer in time.
bool controlText(HWND control, std::string* text);
bool setControlText(HWND control, const std::string& text);
// Sends a message that carries no pointer; false when it timed out.
bool sendPlain(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr);
