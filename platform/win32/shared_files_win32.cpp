#include "platform/platform_shared_files.h"

#include <windows.h>

#include <cstdio>

#include "platform/platform_random.h"

bool privateFolderCreate(const char* prefix, std::string* path, char* why, size_t whySize) {
    // The user's own temporary folder: the new one inherits its access list.
    char temporary[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof temporary, temporary);
    if (length == 0 || length > MAX_PATH) {
        std::snprintf(why, whySize, "no temporary folder");
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".%04x%04x", osRandom15(), osRandom15());
        std::string candidate = std::string(temporary) + prefix + name;
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            *path = candidate;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    std::snprintf(why, whySize, "cannot make a folder in %s (error %lu)", temporary, GetLastError());
    return false;
}

bool fileMapReadOnly(const char* path, const uint8_t** data, uint64_t* size, char* why, size_t whySize) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::snprintf(why, whySize, "cannot open it (error %lu)", GetLastError());
        return false;
    }
    LARGE_INTEGER length{};
    const void* view = nullptr;
    const char* reason = nullptr;
    if (!GetFileSizeEx(file, &length) || GetFileType(file) != FILE_TYPE_DISK) {
        reason = "not a regular file";
    } else if (length.QuadPart == 0) {
        reason = "empty";
    } else {
        HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        // The view keeps the mapping alive once both handles are closed.
        if (mapping) {
            view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
            CloseHandle(mapping);
        }
        if (!view) reason = "cannot map it";
    }
    CloseHandle(file);
    if (reason) {
        std::snprintf(why, whySize, "%s", reason);
        return false;
    }
    *data = static_cast<const uint8_t*>(view);
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
}
