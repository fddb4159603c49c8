// The Win32 implementations of the wizard and progress seams.
#pragma once

#include "ui/progress.h"
#include "ui/wizard.h"

bool win32Prepare(void* instance);
int win32ShowDialog(Dialog dialog);
void win32ShowErrorBox(const char* text);
void win32ShowMessageBox(const char* text, const char* caption);

ProgressView* win32OpenProgress(ProgressKind kind, const char* title);
void win32SetProgressRange(ProgressView* view, unsigned maximum);
void win32SetProgressPosition(ProgressView* view, unsigned position);
void win32SetProgressTitle(ProgressView* view, const char* title);
void win32SetProgressText(ProgressView* view, const char* text);
void win32SetProgressNote(ProgressView* view, const char* note);
bool win32PollProgress(ProgressView* view);
void win32CloseProgress(ProgressView* view);
