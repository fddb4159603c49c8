#include "ui/terminal/terminal_console.h"

#include <cstdio>
#include <cstdlib>

#include "ui/terminal/terminal_mode.h"

namespace {
std::mutex lock;
int modalDepth = 0;
bool hiddenInput = false;
bool statusShown = false;
int liveWindows = 0;

// At the end of the process: the shell gets its own line and the terminal
// settings back. Another thread may hold the lock just then; the settings
// come back regardless.
void restoreScreen() {
    std::unique_lock<std::mutex> guard(lock, std::try_to_lock);
    if (guard.owns_lock()) endStatusLine();
    restoreTerminal();
}

void installRestoreOnce() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    std::atexit(restoreScreen);
}

void applyMode() {
    installRestoreOnce();
    if (modalDepth > 0)
        setTerminalMode(hiddenInput ? TerminalMode::HiddenLines : TerminalMode::Lines);
    else if (liveWindows > 0)
        setTerminalMode(TerminalMode::Keys);
    else
        setTerminalMode(TerminalMode::Lines);
}
}  // namespace

std::mutex& consoleLock() { return lock; }

void beginModal() {
    std::lock_guard<std::mutex> guard(lock);
    endStatusLine();
    ++modalDepth;
    applyMode();
}

void endModal() {
    std::lock_guard<std::mutex> guard(lock);
    if (modalDepth > 0) --modalDepth;
    if (modalDepth == 0) hiddenInput = false;
    applyMode();
}

void setModalInputHidden(bool hidden) {
    std::lock_guard<std::mutex> guard(lock);
    hiddenInput = hidden;
    applyMode();
}

bool modalActive() { return modalDepth > 0; }

bool statusLineShown() { return statusShown; }

void setStatusLineShown(bool shown) { statusShown = shown; }

void endStatusLine() {
    if (!statusShown) return;
    std::fputs("\n", stdout);
    std::fflush(stdout);
    statusShown = false;
}

void addLiveWindow() {
    ++liveWindows;
    applyMode();
}

void removeLiveWindow() {
    if (liveWindows > 0) --liveWindows;
    applyMode();
}

void writeOut(const char* text) {
    endStatusLine();
    std::fputs(text, stdout);
    std::fflush(stdout);
}
