// The one screen shared by all threads. Dialogs and message boxes take it
// modally (they may nest); the topmost progress window's status line steps
// aside meanwhile and comes back afterwards. Output goes through here under
// one lock so that lines of different threads never mix. The terminal's
// mode follows what is on screen: lines for a prompt (hidden for the
// password), single keys while only progress windows are up.
#pragma once

#include <mutex>

#include "platform/platform_console.h"

class TerminalScreen {
public:
    explicit TerminalScreen(Console& console);
    // A status line still shown is ended, so the shell gets its own line,
    // and the terminal gets its lines back.
    ~TerminalScreen();
    TerminalScreen(const TerminalScreen&) = delete;
    TerminalScreen& operator=(const TerminalScreen&) = delete;

    Console& console() const { return console_; }
    // As at the start: an update that draws nothing costs no system call.
    bool inputIsTerminal() const { return inputIsTerminal_; }
    bool outputIsTerminal() const { return outputIsTerminal_; }
    std::mutex& lock() { return lock_; }

    // A prompt or box takes the screen and hears Ctrl+C; any thread.
    void beginModal();
    void endModal();
    // The password field: lines are read without echo.
    void setModalInputHidden(bool hidden);

    // The rest with lock() held.
    bool modalActive() const { return modalDepth_ > 0; }
    // Whether the current line of a terminal holds a status line.
    bool statusLineShown() const { return statusShown_; }
    void setStatusLineShown(bool shown) { statusShown_ = shown; }
    // Ends a shown status line so that other output starts on a line of its own.
    void endStatusLine();
    // Progress windows on screen: they hear Ctrl+C and want single keys on a terminal.
    void addLiveWindow();
    void removeLiveWindow();
    // stdout, flushed; a status line in the way is ended first.
    void writeOut(const char* text);
    // Text as lines: CR LF becomes a line break, other control bytes are
    // shown as \xNN.
    void writeTextBlock(const char* text);

private:
    void applyMode();

    Console& console_;
    const bool inputIsTerminal_;
    const bool outputIsTerminal_;
    std::mutex lock_;
    int modalDepth_ = 0;
    bool hiddenInput_ = false;
    bool statusShown_ = false;
    int liveWindows_ = 0;
};
