#include "platform/platform_console.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {
std::atomic<int> interrupted{0};
std::atomic<bool> terminated{false};

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interrupted.fetch_add(1);
        return TRUE;
    }
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        terminated.store(true);
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
}  // namespace

void consoleAttach() {
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

bool consoleInputIsTerminal() { return isConsole(STD_INPUT_HANDLE); }

bool consoleErrorIsTerminal() { return isConsole(STD_ERROR_HANDLE); }

int consoleColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
        int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns >= 20) return columns;
    }
    return 80;
}

bool consoleReadLine(char* out, size_t size, bool hidden) {
    if (size == 0) return false;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    bool echoOff = hidden && GetConsoleMode(input, &saved);
    if (echoOff) SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    bool got = std::fgets(out, static_cast<int>(size), stdin) != nullptr;
    if (echoOff) {
        SetConsoleMode(input, saved);
        std::fputs("\n", stderr);
    }
    if (!got) {
        out[0] = '\0';
        return false;
    }
    size_t length = std::strlen(out);
    while (length > 0 && (out[length - 1] == '\n' || out[length - 1] == '\r')) out[--length] = '\0';
    return !consoleInterrupted();
}

void consoleCatchInterrupt() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

bool consoleInterrupted() { return interrupted.load() != 0 || terminated.load(); }

int consoleInterruptCount() {
    // A termination request cancels at once, as a second Ctrl+C does.
    int count = interrupted.load();
    return terminated.load() && count < 2 ? 2 : count;
}

bool consoleTerminationRequested() { return terminated.load(); }
