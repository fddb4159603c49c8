#include "platform/platform_console.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console_interrupts.h"

namespace {
const int kSliceMs = 50;
const size_t kPendingSize = 1024;

// The terminal as found at the first change; written once, before found is
// set, and then only read (also from signal handlers).
termios foundSettings{};
std::atomic<bool> found{false};

// Signals that end the process unless caught or ignored.
const int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

// The terminal as it was found (tcsetattr is async-signal-safe), then the
// end the signal would have brought, so the exit status still names it.
void onEndingSignal(int number) {
    if (found.load()) tcsetattr(STDIN_FILENO, TCSANOW, &foundSettings);
    signal(number, SIG_DFL);
    // Blocked until the handler returns, then delivered.
    raise(number);
}

void onInterrupt(int) { noteInterrupt(); }

void onTermination(int) { noteTermination(); }

bool isDefault(const struct sigaction& action) {
    return !(action.sa_flags & SA_SIGINFO) && action.sa_handler == SIG_DFL;
}

// Caught ones are left to their handlers, ignored ones stay ignored.
void putTerminalBackOnEndingSignals() {
    struct sigaction restoring {};
    restoring.sa_handler = onEndingSignal;
    sigemptyset(&restoring.sa_mask);
    for (int number : kEndingSignals) {
        struct sigaction current {};
        if (sigaction(number, nullptr, &current) == 0 && isDefault(current)) sigaction(number, &restoring, nullptr);
    }
}

termios settingsFor(ConsoleMode mode) {
    termios settings = foundSettings;
    if (mode == ConsoleMode::HiddenLines) {
        settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        settings.c_lflag |= ECHONL;  // Enter still ends the line visibly
    } else if (mode == ConsoleMode::Keys) {
        settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
    }
    return settings;
}
}  // namespace

struct Console::Input {
    // What was read but not yet taken; a line never leaves more than this unread.
    std::mutex lock;
    char pending[kPendingSize];
    size_t length = 0;
    bool skippingRest = false;  // inside an overlong line, after its first part
    bool ended = false;

    std::mutex modeLock;
    ConsoleMode mode = ConsoleMode::Lines;

    void drop(size_t count) {
        std::memmove(pending, pending + count, length - count);
        length -= count;
    }

    void deliver(char* out, size_t size, size_t count) const {
        size_t copied = count < size - 1 ? count : size - 1;
        std::memcpy(out, pending, copied);
        if (copied > 0 && out[copied - 1] == '\r') --copied;
        out[copied] = '\0';
    }

    // A complete line in pending, if any; skips the tail of an overlong line.
    bool takeLine(char* out, size_t size) {
        for (;;) {
            char* newline = static_cast<char*>(std::memchr(pending, '\n', length));
            if (skippingRest) {
                if (!newline) {
                    length = 0;
                    return false;
                }
                drop(static_cast<size_t>(newline - pending) + 1);
                skippingRest = false;
                continue;
            }
            if (newline) {
                size_t count = static_cast<size_t>(newline - pending);
                deliver(out, size, count);
                drop(count + 1);
                return true;
            }
            if (length == kPendingSize) {
                deliver(out, size, length);
                length = 0;
                skippingRest = true;
                return true;
            }
            return false;
        }
    }

    // Waits one slice for input. False at the end of input.
    bool fill() {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        int ready = poll(&input, 1, kSliceMs);
        if (ready < 0) return errno == EINTR || errno == EAGAIN;
        if (ready == 0) return true;
        if (input.revents & POLLNVAL) return false;
        ssize_t got = read(STDIN_FILENO, pending + length, kPendingSize - length);
        if (got > 0) {
            length += static_cast<size_t>(got);
            return true;
        }
        return got < 0 && (errno == EINTR || errno == EAGAIN);
    }

    // With modeLock held: the settings found, saved once; false when there are none.
    bool keepFound() {
        if (found.load()) return true;
        if (tcgetattr(STDIN_FILENO, &foundSettings) != 0) return false;
        found.store(true);
        putTerminalBackOnEndingSignals();
        return true;
    }
};

Console::Console() : input_(std::make_unique<Input>()) {}

Console::~Console() { restore(); }

void Console::attach() {
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

bool Console::inputIsTerminal() const { return isatty(STDIN_FILENO) == 1; }

bool Console::outputIsTerminal() const { return isatty(STDOUT_FILENO) == 1; }

bool Console::errorIsTerminal() const { return isatty(STDERR_FILENO) == 1; }

int Console::columns(ConsoleStream stream, int fewest) const {
    winsize size{};
    int fd = stream == ConsoleStream::Output ? STDOUT_FILENO : STDERR_FILENO;
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col >= fewest) return size.ws_col;
    return 80;
}

void Console::setMode(ConsoleMode mode) {
    if (!inputIsTerminal()) return;
    std::lock_guard<std::mutex> guard(input_->modeLock);
    if (!input_->keepFound() || mode == input_->mode) return;
    termios settings = settingsFor(mode);
    // TCSANOW keeps what was typed ahead.
    if (tcsetattr(STDIN_FILENO, TCSANOW, &settings) == 0) input_->mode = mode;
}

void Console::restore() {
    if (!found.load()) return;
    std::lock_guard<std::mutex> guard(input_->modeLock);
    tcsetattr(STDIN_FILENO, TCSANOW, &foundSettings);
    input_->mode = ConsoleMode::Lines;
}

LineResult Console::readLine(char* out, size_t size) {
    Input& in = *input_;
    std::lock_guard<std::mutex> guard(in.lock);
    if (size == 0) return LineResult::Closed;
    for (;;) {
        if (in.takeLine(out, size)) return LineResult::Line;
        if (in.ended) {
            if (in.length == 0 || in.skippingRest) return LineResult::Closed;
            in.deliver(out, size, in.length);
            in.length = 0;
            return LineResult::Line;
        }
        if (takeInterrupt() || unheardInterrupt() || terminationRequested()) return LineResult::Closed;
        if (!in.fill()) in.ended = true;
    }
}

LineResult Console::readHiddenLine(char* out, size_t size) {
    bool quiet = false;
    if (inputIsTerminal()) {
        std::lock_guard<std::mutex> guard(input_->modeLock);
        if (input_->keepFound()) {
            termios settings = settingsFor(input_->mode);
            settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
            // TCSAFLUSH: nothing typed before the prompt becomes part of the line.
            quiet = tcsetattr(STDIN_FILENO, TCSAFLUSH, &settings) == 0;
        }
    }
    if (quiet) {
        std::lock_guard<std::mutex> guard(input_->lock);
        input_->length = 0;
    }
    LineResult result = readLine(out, size);
    if (quiet) {
        std::lock_guard<std::mutex> guard(input_->modeLock);
        termios settings = settingsFor(input_->mode);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &settings);
        // The line end the user typed was not echoed either.
        ssize_t written = write(STDERR_FILENO, "\n", 1);
        (void)written;
    }
    return result;
}

bool Console::cancelKeyTyped() {
    std::unique_lock<std::mutex> guard(input_->lock, std::try_to_lock);
    if (!guard.owns_lock() || input_->ended) return false;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0 || !(input.revents & POLLIN)) return false;
    char keys[64];
    ssize_t got = read(STDIN_FILENO, keys, sizeof keys);
    for (ssize_t i = 0; i < got; ++i) {
        if (keys[i] == 'q' || keys[i] == 'Q') return true;
        if (keys[i] == '\x1b') {
            // Arrow and function keys start with Esc too; skip the sequence.
            if (i + 1 < got && (keys[i + 1] == '[' || keys[i + 1] == 'O')) return false;
            return true;
        }
    }
    return false;
}

void Console::catchInterrupts(InterruptCatching catching) {
    if (!claimInterruptCatching(catching)) return;
    const bool always = catching == InterruptCatching::Always;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // The command line's blocking calls return (EINTR) and see the flag; the
    // wizard's are taken up again, its prompts and windows wait in slices.
    action.sa_flags = always ? 0 : SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    action.sa_handler = always ? onTermination : onEndingSignal;
    action.sa_flags = 0;
    for (int number : {SIGTERM, SIGHUP}) {
        struct sigaction current {};
        // One ignored from the start (nohup) stays ignored.
        if (sigaction(number, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaction(number, &action, nullptr);
    }
}
