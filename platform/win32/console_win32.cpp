#include "platform/platform_console.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/console_interrupts.h"

namespace {
// Close, logoff and shutdown are held so the run can end itself (the
// command line), or left to end the process (the wizard).
std::atomic<bool> holdEnds{false};

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        noteInterrupt();
        return TRUE;
    }
    if (holdEnds.load() && (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)) {
        noteTermination();
        // The system ends the process once this returns (or after its own
        // few seconds): held here, the run can cancel and end itself first.
        Sleep(INFINITE);
        return TRUE;
    }
    return FALSE;
}

bool isRedirected(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

bool isConsole(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// The rest of a line that did not fit.
void skipRestOfLine() {
    for (int c = std::getc(stdin); c != EOF && c != '\n'; c = std::getc(stdin)) {
    }
}

// The MinGW build's threads have no std::mutex.
class ModeGuard {
public:
    explicit ModeGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ModeGuard() { ReleaseSRWLockExclusive(&lock_); }
    ModeGuard(const ModeGuard&) = delete;
    ModeGuard& operator=(const ModeGuard&) = delete;

private:
    SRWLOCK& lock_;
};
}  // namespace

struct Console::Input {
    SRWLOCK modeLock = SRWLOCK_INIT;
    DWORD found = 0;
    bool saved = false;
    ConsoleMode mode = ConsoleMode::Lines;

    // With modeLock held.
    bool keepFound() {
        if (!saved) saved = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &found) != 0;
        return saved;
    }
};

Console::Console() : input_(std::make_unique<Input>()) {}

Console::~Console() { restore(); }

void Console::attach() {
    // A GUI program has no console of its own: borrow the parent's, unless
    // the caller redirected the output, which then stays where it points.
    bool outRedirected = isRedirected(STD_OUTPUT_HANDLE);
    bool errRedirected = isRedirected(STD_ERROR_HANDLE);
    if (outRedirected && errRedirected) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!outRedirected) std::freopen("CONOUT$", "w", stdout);
    if (!errRedirected) std::freopen("CONOUT$", "w", stderr);
    if (!isRedirected(STD_INPUT_HANDLE)) std::freopen("CONIN$", "r", stdin);
}

bool Console::inputIsTerminal() const { return isConsole(STD_INPUT_HANDLE); }

bool Console::outputIsTerminal() const { return isConsole(STD_OUTPUT_HANDLE); }

bool Console::errorIsTerminal() const { return isConsole(STD_ERROR_HANDLE); }

int Console::columns(ConsoleStream stream, int fewest) const {
    CONSOLE_SCREEN_BUFFER_INFO info;
    HANDLE handle = GetStdHandle(stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (GetConsoleScreenBufferInfo(handle, &info)) {
        int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns >= fewest) return columns;
    }
    return 80;
}

void Console::setMode(ConsoleMode mode) {
    ModeGuard guard(input_->modeLock);
    if (!input_->keepFound() || mode == input_->mode) return;
    DWORD settings = input_->found;
    if (mode == ConsoleMode::HiddenLines) settings &= ~static_cast<DWORD>(ENABLE_ECHO_INPUT);
    if (mode == ConsoleMode::Keys) settings &= ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT);
    if (SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), settings)) input_->mode = mode;
}

void Console::restore() {
    ModeGuard guard(input_->modeLock);
    if (!input_->saved) return;
    SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), input_->found);
    input_->mode = ConsoleMode::Lines;
}

LineResult Console::readLine(char* out, size_t size) {
    if (size == 0) return LineResult::Closed;
    // The C runtime keeps what was read beyond the line.
    if (!std::fgets(out, static_cast<int>(size), stdin)) {
        out[0] = '\0';
        return LineResult::Closed;
    }
    size_t length = std::strlen(out);
    if (length > 0 && out[length - 1] != '\n' && length + 1 == size) skipRestOfLine();
    while (length > 0 && (out[length - 1] == '\n' || out[length - 1] == '\r')) out[--length] = '\0';
    bool closed = takeInterrupt() || unheardInterrupt() || terminationRequested();
    return closed ? LineResult::Closed : LineResult::Line;
}

LineResult Console::readHiddenLine(char* out, size_t size) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD before = 0;
    bool quiet = GetConsoleMode(input, &before) != 0 &&
                 SetConsoleMode(input, before & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    LineResult result = readLine(out, size);
    if (quiet) {
        SetConsoleMode(input, before);
        std::fputs("\n", stderr);
    }
    return result;
}

bool Console::cancelKeyTyped() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD waiting = 0;
    if (!GetNumberOfConsoleInputEvents(input, &waiting) || waiting == 0) return false;
    INPUT_RECORD records[64];
    DWORD got = 0;
    if (!ReadConsoleInputA(input, records, 64, &got)) return false;
    for (DWORD i = 0; i < got; ++i) {
        if (records[i].EventType != KEY_EVENT || !records[i].Event.KeyEvent.bKeyDown) continue;
        const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
        if (key.wVirtualKeyCode == VK_ESCAPE || key.uChar.AsciiChar == 'q' || key.uChar.AsciiChar == 'Q') return true;
    }
    return false;
}

void Console::catchInterrupts(InterruptCatching catching) {
    if (!claimInterruptCatching(catching)) return;
    holdEnds.store(catching == InterruptCatching::Always);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}
