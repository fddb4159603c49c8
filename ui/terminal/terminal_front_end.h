// The terminal's dialogs, boxes and progress windows.
#pragma once

#include "ui/wizard.h"

int terminalShowDialog(const Run& run, Dialog dialog, DialogAnswers* answers);
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

class TerminalWindows : public WizardWindows {
public:
    int showDialog(const Run& run, Dialog dialog, DialogAnswers* answers) override {
        return terminalShowDialog(run, dialog, answers);
    }
    void showErrorBox(const char* text) override { terminalShowErrorBox(text); }
    void showMessageBox(const char* text, const char* caption) override { terminalShowMessageBox(text, caption); }
    ProgressView* open(ProgressKind kind, const char* title) override { return terminalOpenProgress(kind, title); }
    void setRange(ProgressView* view, unsigned maximum) override { terminalSetProgressRange(view, maximum); }
    void setPosition(ProgressView* view, unsigned position) override { terminalSetProgressPosition(view, position); }
    void setTitle(ProgressView* view, const char* title) override { terminalSetProgressTitle(view, title); }
    void setText(ProgressView* view, const char* text) override { terminalSetProgressText(view, text); }
    void setNote(ProgressView* view, const char* note) override { terminalSetProgressNote(view, note); }
    bool poll(ProgressView* view) override { return terminalPollProgress(view); }
    void close(ProgressView* view) override { terminalCloseProgress(view); }
};
