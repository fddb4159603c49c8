#include "platform/platform_child.h"

#include <windows.h>
#define PSAPI_VERSION 2
#include <psapi.h>

#include <cstdio>
#include <new>
#include <string>

#include "platform/win32/system_message.h"

struct OrbChild {
    HANDLE process;
    HANDLE output;  // read end of its standard output; null once it ended
    HANDLE log;     // its standard error's file, kept for the parent's lines; null: none
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


// Opened by the parent, so a refusal is known before anything starts. The
// reparse point itself is opened, never what it points to (one planted in a
// shared folder would have us append to another file), and refused; so is
// anything but a file on a disk.
HANDLE openLog(const char* path, SECURITY_ATTRIBUTES* inherit, char* why, size_t whySize) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              inherit, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        systemMessage(GetLastError(), why, whySize);
        return INVALID_HANDLE_VALUE;
    }
    const char* reason = nullptr;
    BY_HANDLE_FILE_INFORMATION about{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &about) ||
        (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        reason = "not a regular file";
    else if (about.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        reason = "it is a symbolic link or junction";
    if (!reason) return file;
    CloseHandle(file);
    if (why && whySize > 0) std::snprintf(why, whySize, "%s", reason);
    return INVALID_HANDLE_VALUE;
}

// One job for all children, never closed: when the parent ends, however it
// ends, the system closes the handle and with it ends every child.
HANDLE childJob() {
    static const HANDLE job = [] {
        HANDLE created = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (created && !SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
            CloseHandle(created);
            created = nullptr;
        }
        return created;
    }();
    return job;
}

}  // namespace

bool childLogOpenable(const char* path, char* why, size_t whySize) {
    HANDLE file = openLog(path, nullptr, why, whySize);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

OrbChild* childStart(char* const* argv, const char* errorPath) {
    HANDLE job = childJob();
    if (!job) return nullptr;
    std::string commandLine;
    for (char* const* argument = argv; *argument; ++argument) {
        if (!commandLine.empty()) commandLine += ' ';
        commandLine += quoted(*argument);
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE error = errorPath ? openLog(errorPath, &inherit, nullptr, 0) : INVALID_HANDLE_VALUE;
    if (errorPath && error == INVALID_HANDLE_VALUE) return nullptr;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        if (error != INVALID_HANDLE_VALUE) CloseHandle(error);
        return nullptr;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nothing = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = nothing;
    start.hStdOutput = writeEnd;
    start.hStdError = error != INVALID_HANDLE_VALUE ? error : nothing;
    PROCESS_INFORMATION info{};
    // A group of its own: the console's Ctrl+C reaches only the parent.
    // Suspended until it is in the job, so nothing it starts escapes it.
    BOOL started = CreateProcessA(argv[0], &commandLine[0], nullptr, nullptr, TRUE,
                                  CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED, nullptr, nullptr, &start, &info);
    CloseHandle(writeEnd);
    CloseHandle(nothing);
    // Kept for the parent's lines, and no later child's to inherit.
    if (error != INVALID_HANDLE_VALUE) SetHandleInformation(error, HANDLE_FLAG_INHERIT, 0);
    bool held = started && AssignProcessToJobObject(job, info.hProcess) && ResumeThread(info.hThread) != DWORD(-1);
    OrbChild* child = held ? new (std::nothrow) OrbChild{} : nullptr;
    if (!child) {
        if (error != INVALID_HANDLE_VALUE) CloseHandle(error);
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
    child->log = error != INVALID_HANDLE_VALUE ? error : nullptr;
    return child;
}

bool childLogAppend(OrbChild* child, const char* text, size_t length) {
    if (!child->log) return false;
    while (length > 0) {
        DWORD written = 0;
        DWORD part = length < 0x10000000 ? static_cast<DWORD>(length) : 0x10000000;
        if (!WriteFile(child->log, text, part, &written, nullptr) || written == 0) return false;
        text += written;
        length -= written;
    }
    return true;
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
    if (child->log) CloseHandle(child->log);
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
