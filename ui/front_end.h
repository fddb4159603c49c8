// What the shared code asks of a front end: the Win32 dialogs and windows,
// or their terminal stand-ins. Every function here is implemented once per
// front end (ui/win32, ui/terminal) and by the tests' scripted front end.
#pragma once

#include <cstdint>

const char kErrorBoxCaption[] = "ORB Firwmare Upgrade Error";

// Command ids a progress window understands.
const int kCommandOk = 1;
const int kCommandCancel = 2;

// Program-wide set-up.
void initCommonControls(unsigned flags);
bool registerProgramWindowClass(void* instance);

// The error box: caption kErrorBoxCaption when none is given. Does not end
// the process; callers do.
int ShowErrorBox(const char* text, const char* caption = nullptr);
// A plain OK box without owner (socket set-up errors).
void showMessageBox(const char* text, const char* caption);

// A wizard dialog by template id, modal; 1 accepted, 0 declined.
int showDialog(int templateId);

// Modeless progress windows (105 for a request, 110 upload, 114 waiting),
// created on and pumped by the calling thread. 105 sets its own title from
// targetText and its range to 0..100.
struct ProgressWindow;
ProgressWindow* openProgressWindow(int templateId);
void setProgressRange(ProgressWindow* window, unsigned maximum);
void setProgressPosition(ProgressWindow* window, unsigned position);
void setProgressTitle(ProgressWindow* window, const char* title);
void setProgressText(ProgressWindow* window, int controlId, const char* text);
// Delivers at most one pending message of the window (Cancel among them).
void pumpProgressMessage(ProgressWindow* window);
// Delivers every pending message of the window.
void pumpProgressMessages(ProgressWindow* window);
void destroyProgressWindow(ProgressWindow* window);

// The connecting window shown modally for the recovery search: on opening it
// starts searchBody on a new thread; returns 1 after an OK command. A Cancel
// command ends the process inside the window.
typedef int (*SearchBody)(ProgressWindow* window);
int showSearchWindow(SearchBody searchBody);
typedef void (*ProgressTimerCallback)(ProgressWindow* window);
void startProgressTimer(ProgressWindow* window, unsigned timerId, unsigned periodMs, ProgressTimerCallback callback);
void stopProgressTimer(ProgressWindow* window, unsigned timerId);
// Delivers a command to the window's own thread and waits until it is handled.
void sendProgressCommand(ProgressWindow* window, int command);
