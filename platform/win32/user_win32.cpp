#include "platform/platform_user.h"

#include <windows.h>

#include <cstdlib>

std::string userName() {
    char name[257] = {};
    DWORD size = sizeof name;
    return GetUserNameA(name, &size) ? name : "";
}

std::string machineName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? name : "";
}

std::string userStateFolder(const char* application) {
    if (const char* local = std::getenv("LOCALAPPDATA"); local && local[0]) return pathInFolder(local, application);
    if (const char* profile = std::getenv("USERPROFILE"); profile && profile[0])
        return pathInFolder(std::string(profile) + "\\AppData\\Local", application);
    return "";
}

std::string pathInFolder(const std::string& folder, const char* name) {
    const bool ends = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    return ends ? folder + name : folder + "\\" + name;
}
