#include "platform/platform_console.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
std::atomic<int> interrupted{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void onInterrupt(int) { interrupted.fetch_add(1); }
}  // namespace

void consoleAttach() {}

bool consoleInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool consoleErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

int consoleColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20) return size.ws_col;
    return 80;
}

bool consoleReadLine(char* out, size_t size, bool hidden) {
    if (size == 0) return false;
    termios saved{};
    bool echoOff = hidden && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (echoOff) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    size_t used = 0;
    bool ended = false;
    for (;;) {
        char c;
        ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR && !interrupted.load()) continue;
        if (got <= 0) {
            ended = used == 0;
            break;
        }
        if (c == '\n') break;
        if (c != '\r' && used + 1 < size) out[used++] = c;
    }
    out[used] = '\0';
    if (echoOff) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        // The line end the user typed was not echoed either.
        ssize_t written = write(STDERR_FILENO, "\n", 1);
        (void)written;
    }
    return !ended && !interrupted.load();
}

void consoleCatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a prompt's read returns and sees the flag.
    sigaction(SIGINT, &action, nullptr);
}

bool consoleInterrupted() { return interrupted.load() != 0; }

int consoleInterruptCount() { return interrupted.load(); }
