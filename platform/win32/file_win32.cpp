#include "platform/platform_file.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win32/system_message.h"

namespace {


// The file behind path (reparse points followed), opened only to be identified.
bool identify(const char* path, BY_HANDLE_FILE_INFORMATION* about) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool known = GetFileInformationByHandle(file, about) != 0;
    CloseHandle(file);
    return known;
}

}  // namespace

bool sameFile(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    if (!identify(a, &first) || !identify(b, &second)) return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

bool fileIsLink(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool fileReplace(const char* path, const char* data, size_t size, char* why, size_t whySize) {
    // Beside it, so the move stays on one volume; CREATE_NEW never opens a
    // name already there (a leftover, or a planted link), another is tried.
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temporary = std::string(path) + ".tmp." + std::to_string(GetCurrentProcessId()) + "." + std::to_string(attempt);
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (error != 0 && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        systemMessage(error, why, whySize);
        return false;
    }
    while (size > 0 && error == 0) {
        DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, piece, &written, nullptr) || written == 0) {
            error = GetLastError();
            if (error == 0) error = ERROR_DISK_FULL;
        } else {
            data += written;
            size -= written;
        }
    }
    if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
    CloseHandle(file);
    if (error == 0 && !MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error == 0) return true;
    DeleteFileA(temporary.c_str());
    systemMessage(error, why, whySize);
    return false;
}

bool fileAppendRecord(const char* path, const char* data, size_t size, char* why, size_t whySize) {
    // Append access alone: every write goes to the end, whoever else appends.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        systemMessage(GetLastError(), why, whySize);
        return false;
    }
    DWORD written = 0;
    DWORD error = 0;
    if (size > 0x40000000 || !WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr))
        error = size > 0x40000000 ? ERROR_INVALID_PARAMETER : GetLastError();
    else if (written != size)
        error = ERROR_DISK_FULL;
    if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
    CloseHandle(file);
    if (error == 0) return true;
    systemMessage(error, why, whySize);
    return false;
}

bool folderCreateAll(const std::string& path, char* why, size_t whySize) {
    for (size_t at = path.find_first_of("\\/", 3);; at = path.find_first_of("\\/", at + 1)) {
        const std::string part = path.substr(0, at);
        if (!part.empty() && !CreateDirectoryA(part.c_str(), nullptr)) {
            // A share's root or a drive cannot be made, but is there.
            const DWORD error = GetLastError();
            const DWORD attributes = GetFileAttributesA(part.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                systemMessage(error, why, whySize);
                return false;
            }
        }
        if (at == std::string::npos) return true;
    }
}
