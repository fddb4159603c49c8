#include "ui/terminal/terminal_mode.h"

#include <atomic>
#include <mutex>
#include <termios.h>
#include <unistd.h>

namespace {
std::mutex modeLock;
termios original{};
std::atomic<bool> saved{false};
TerminalMode current = TerminalMode::Lines;

bool stdinIsTerminal() {
    static const bool terminal = isatty(STDIN_FILENO) != 0;
    return terminal;
}

// First change: remember what the user had (the console puts it back).
void saveOnce() {
    if (saved.load()) return;
    if (tcgetattr(STDIN_FILENO, &original) == 0) saved.store(true);
}
}  // namespace

bool inputIsTerminal() { return stdinIsTerminal(); }

bool outputIsTerminal() {
    static const bool terminal = isatty(STDOUT_FILENO) != 0;
    return terminal;
}

void setTerminalMode(TerminalMode mode) {
    if (!stdinIsTerminal()) return;
    std::lock_guard<std::mutex> guard(modeLock);
    saveOnce();
    if (!saved.load() || mode == current) return;
    termios settings = original;
    if (mode == TerminalMode::HiddenLines) {
        settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        settings.c_lflag |= ECHONL;  // Enter still ends the line visibly
    } else if (mode == TerminalMode::Keys) {
        settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
    }
    // TCSANOW keeps what was typed ahead.
    if (tcsetattr(STDIN_FILENO, TCSANOW, &settings) == 0) current = mode;
}

void restoreTerminal() {
    if (!saved.load()) return;
    std::lock_guard<std::mutex> guard(modeLock);
    tcsetattr(STDIN_FILENO, TCSANOW, &original);
    current = TerminalMode::Lines;
}

void restoreTerminalFromSignal() {
    if (saved.load()) tcsetattr(STDIN_FILENO, TCSANOW, &original);
}
