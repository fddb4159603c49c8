// The Win32 dialogs, boxes and progress windows.
#pragma once

#include "core/program_profile.h"
#include "ui/wizard.h"

bool win32Prepare(void* instance, const ProgramProfile& profile);
int win32ShowDialog(void* instance, const Run& run, Dialog dialog, DialogAnswers* answers);
void win32ShowErrorBox(const char* text);
void win32ShowMessageBox(const char* text, const char* caption);

ProgressView* win32OpenProgress(void* instance, ProgressKind kind, const char* title);
void win32SetProgressRange(ProgressView* view, unsigned maximum);
void win32SetProgressPosition(ProgressView* view, unsigned position);
void win32SetProgressTitle(ProgressView* view, const char* title);
void win32SetProgressText(ProgressView* view, bool orbstage, const char* text);
void win32SetProgressNote(ProgressView* view, const char* note);
bool win32PollProgress(ProgressView* view);
void win32CloseProgress(ProgressView* view);

class Win32Windows : public WizardWindows {
public:
    Win32Windows(void* instance, const ProgramProfile& profile) : instance_(instance), profile_(profile) {}
    bool prepare() override { return win32Prepare(instance_, profile_); }
    int showDialog(const Run& run, Dialog dialog, DialogAnswers* answers) override {
        return win32ShowDialog(instance_, run, dialog, answers);
    }
    void showErrorBox(const char* text) override { win32ShowErrorBox(text); }
    void showMessageBox(const char* text, const char* caption) override { win32ShowMessageBox(text, caption); }
    ProgressView* open(ProgressKind kind, const char* title) override {
        return win32OpenProgress(instance_, kind, title);
    }
    void setRange(ProgressView* view, unsigned maximum) override { win32SetProgressRange(view, maximum); }
    void setPosition(ProgressView* view, unsigned position) override { win32SetProgressPosition(view, position); }
    void setTitle(ProgressView* view, const char* title) override { win32SetProgressTitle(view, title); }
    void setText(ProgressView* view, const char* text) override {
        win32SetProgressText(view, isOrbstage(profile_), text);
    }
    void setNote(ProgressView* view, const char* note) override { win32SetProgressNote(view, note); }
    bool poll(ProgressView* view) override { return win32PollProgress(view); }
    void close(ProgressView* view) override { win32CloseProgress(view); }

private:
    void* instance_;
    const ProgramProfile& profile_;
};
