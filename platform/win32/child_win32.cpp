#include "platform/platform_child.h"

#include <windows.h>
#define PSAPI_VERSION 2
#include <psapi.h>

#include <new>
#include <string>

struct OrbChild {
    HANDLE process;
    HANDLE output;  // read end of its standard output; null once it ended
    bool ended;
    int status;
};

namespace {

// The command line as the C runtime of the child splits it again.
std::string quoted(const char* argument) {
    std::string text = argument;
    if (!text.empty() && text.find_first_of(" \t\"") == std::string::npos) return text;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            out.append(backslashes * 2 + 1, '\\');
        else
            out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

double seconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7;
}

}  // namespace

OrbChild* childStart(char* const* argv, const char* errorPath) {
    std::string commandLine;
    for (char* const* argument = argv; *argument; ++argument) {
        if (!commandLine.empty()) commandLine += ' ';
        commandLine += quoted(*argument);
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return nullptr;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nothing = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    HANDLE error = errorPath ? CreateFileA(errorPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                             : INVALID_HANDLE_VALUE;
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = nothing;
    start.hStdOutput = writeEnd;
    start.hStdError = error != INVALID_HANDLE_VALUE ? error : nothing;
    PROCESS_INFORMATION info{};
    // A group of its own: the console's Ctrl+C reaches only the parent.
    BOOL started = CreateProcessA(argv[0], &commandLine[0], nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr,
                                  nullptr, &start, &info);
    CloseHandle(writeEnd);
    CloseHandle(nothing);
    if (error != INVALID_HANDLE_VALUE) CloseHandle(error);
    OrbChild* child = started ? new (std::nothrow) OrbChild{} : nullptr;
    if (!child) {
        CloseHandle(readEnd);
        if (started) {
            TerminateProcess(info.hProcess, 1);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
        return nullptr;
    }
    CloseHandle(info.hThread);
    child->process = info.hProcess;
    child->output = readEnd;
    return child;
}

int childRead(OrbChild* child, char* buffer, int size) {
    if (!child->output) return -1;
    DWORD available = 0;
    if (!PeekNamedPipe(child->output, nullptr, 0, nullptr, &available, nullptr)) {
        CloseHandle(child->output);
        child->output = nullptr;
        return -1;
    }
    if (available == 0) return 0;
    DWORD got = 0;
    DWORD wanted = available < static_cast<DWORD>(size) ? available : static_cast<DWORD>(size);
    if (!ReadFile(child->output, buffer, wanted, &got, nullptr)) return 0;
    return static_cast<int>(got);
}

// Anonymous pipes cannot be waited on: a short sleep between looks.
void childWaitForOutput(OrbChild* const*, int, unsigned timeoutMs) { Sleep(timeoutMs < 20 ? timeoutMs : 20); }

bool childEnded(OrbChild* child, int* status) {
    if (!child->ended) {
        if (WaitForSingleObject(child->process, 0) != WAIT_OBJECT_0) return false;
        DWORD code = 0;
        GetExitCodeProcess(child->process, &code);
        child->ended = true;
        child->status = static_cast<int>(code);
    }
    *status = child->status;
    return true;
}

// A child in a group of its own hears no console events: it is ended, with
// the status a cancelled run has.
void childInterrupt(OrbChild* child) {
    if (!child->ended) TerminateProcess(child->process, 130);
}

void childRelease(OrbChild* child, ChildUsage* usage) {
    if (usage) {
        FILETIME created, exited, kernel, user;
        if (GetProcessTimes(child->process, &created, &exited, &kernel, &user))
            usage->cpuSeconds += seconds(kernel) + seconds(user);
        PROCESS_MEMORY_COUNTERS memory{};
        if (GetProcessMemoryInfo(child->process, &memory, sizeof memory) &&
            memory.PeakWorkingSetSize > usage->peakBytes)
            usage->peakBytes = memory.PeakWorkingSetSize;
    }
    if (child->output) CloseHandle(child->output);
    CloseHandle(child->process);
    delete child;
}

double processCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
    return seconds(kernel) + seconds(user);
}

bool currentProgramPath(char* out, unsigned size) {
    DWORD length = GetModuleFileNameA(nullptr, out, size);
    return length > 0 && length < size;
}
