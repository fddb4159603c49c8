#include "platform/platform_console.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Touched from signal handlers: lock-free atomics only.
std::atomic<int> interrupted{0};
std::atomic<bool> terminated{false};
std::atomic<bool> hiding{false};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
// The terminal before a hidden read; written only while hiding is false.
termios beforeHidden{};

// Signals that end the process unless caught or ignored.
const int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

void onInterrupt(int) { interrupted.fetch_add(1); }

void onTermination(int) { terminated.store(true); }

// During a hidden read: echo back on (tcsetattr is async-signal-safe), then
// the end the signal would have brought, so the exit status still names it.
void onEndingSignal(int number) {
    if (hiding.load()) tcsetattr(STDIN_FILENO, TCSANOW, &beforeHidden);
    signal(number, SIG_DFL);
    // Blocked until the handler returns, then delivered.
    raise(number);
}

bool isDefault(const struct sigaction& action) {
    return !(action.sa_flags & SA_SIGINFO) && action.sa_handler == SIG_DFL;
}
}  // namespace

void consoleAttach() {
    // A closed output makes writes fail (EPIPE) instead of ending the run.
    signal(SIGPIPE, SIG_IGN);
    // A file-size limit makes a write fail (EFBIG), said as any other write
    // failure, instead of ending a fleet and its children mid-flash.
    signal(SIGXFSZ, SIG_IGN);
    // A closed standard descriptor gets /dev/null, so that no file or socket
    // opened later takes its number and receives what is printed.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) open("/dev/null", O_RDWR);
}

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
    struct sigaction before[4] = {};
    if (echoOff) {
        beforeHidden = saved;
        hiding.store(true);
        // A signal that would end the process puts the echo back first;
        // caught ones return from the read below, ignored ones stay ignored.
        struct sigaction restoring {};
        restoring.sa_handler = onEndingSignal;
        sigemptyset(&restoring.sa_mask);
        for (int i = 0; i < 4; ++i)
            if (sigaction(kEndingSignals[i], nullptr, &before[i]) == 0 && isDefault(before[i]))
                sigaction(kEndingSignals[i], &restoring, nullptr);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    size_t used = 0;
    bool ended = false;
    while (!consoleInterrupted()) {
        // Looks in slices: a signal taken by another thread interrupts no read.
        pollfd input{STDIN_FILENO, POLLIN, 0};
        int ready = poll(&input, 1, 100);
        if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
        char c;
        ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
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
        for (int i = 0; i < 4; ++i)
            if (isDefault(before[i])) sigaction(kEndingSignals[i], &before[i], nullptr);
        hiding.store(false);
        // The line end the user typed was not echoed either.
        ssize_t written = write(STDERR_FILENO, "\n", 1);
        (void)written;
    }
    return !ended && !consoleInterrupted();
}

void consoleCatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a prompt's read returns and sees the flag.
    sigaction(SIGINT, &action, nullptr);
    action.sa_handler = onTermination;
    for (int number : {SIGTERM, SIGHUP}) {
        struct sigaction current {};
        // One ignored from the start (nohup) stays ignored.
        if (sigaction(number, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaction(number, &action, nullptr);
    }
}

bool consoleInterrupted() { return interrupted.load() != 0 || terminated.load(); }

int consoleInterruptCount() {
    // A termination request cancels at once, as a second Ctrl+C does.
    int count = interrupted.load();
    return terminated.load() && count < 2 ? 2 : count;
}

bool consoleTerminationRequested() { return terminated.load(); }
