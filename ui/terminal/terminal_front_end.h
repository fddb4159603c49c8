// The terminal's implementations of the wizard and progress seams.
#pragma once

#include "ui/progress.h"
#include "ui/wizard.h"

int terminalShowDialog(Dialog dialog);
void terminalShowErrorBox(const char* text);
void terminalShowMessageBox(const char* text, const char* caption);

ProgressView* terminalOpenProgress(ProgressKind kind, const char* title);
void terminalSetProgressRange(ProgressView* view, unsigned maximum);
void terminalSetProgressPosition(ProgressView* view, unsigned position);
void terminalSetProgressTitle(ProgressView* view, const char* title);
void terminalSetProgressText(ProgressView* view, const char* text);
void terminalSetProgressNote(ProgressView* view, const char* note);
bool terminalPollProgress(ProgressView* view);
void terminalCloseProgress(ProgressView* view);

// Writes text as lines: CR LF becomes a line break, other control bytes
// are shown as \xNN.
void writeTextBlock(const char* text);
