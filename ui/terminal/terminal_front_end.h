// The terminal's dialogs, boxes and progress windows, on the console the
// entry lends them.
#pragma once

#include "platform/platform_console.h"
#include "ui/terminal/terminal_progress.h"
#include "ui/terminal/terminal_screen.h"
#include "ui/wizard.h"

int terminalShowDialog(TerminalScreen& screen, const Run& run, Dialog dialog, DialogAnswers* answers);
void terminalShowBox(TerminalScreen& screen, const char* text, const char* caption);

class TerminalWindows : public WizardWindows {
public:
    explicit TerminalWindows(Console& console) : screen_(console), progress_(screen_) {}

    // Ctrl+C with nothing on screen to act on it.
    bool closed() const override { return screen_.console().unheardInterrupt(); }
    int showDialog(const Run& run, Dialog dialog, DialogAnswers* answers) override {
        return terminalShowDialog(screen_, run, dialog, answers);
    }
    void showErrorBox(const char* text) override { terminalShowBox(screen_, text, kErrorBoxCaption); }
    void showMessageBox(const char* text, const char* caption) override {
        terminalShowBox(screen_, text, caption ? caption : "");
    }
    ProgressView* open(ProgressKind kind, const char* title) override { return progress_.open(kind, title); }
    void setRange(ProgressView* view, unsigned maximum) override { progress_.setRange(view, maximum); }
    void setPosition(ProgressView* view, unsigned position) override { progress_.setPosition(view, position); }
    void setTitle(ProgressView* view, const char* title) override { progress_.setTitle(view, title); }
    void setText(ProgressView* view, const char* text) override { progress_.setText(view, text); }
    void setNote(ProgressView* view, const char* note) override { progress_.setNote(view, note); }
    bool poll(ProgressView* view) override { return progress_.poll(view); }
    void close(ProgressView* view) override { progress_.close(view); }

private:
    TerminalScreen screen_;
    TerminalProgress progress_;
};
