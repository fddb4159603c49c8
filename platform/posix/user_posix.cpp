#include "platform/platform_user.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

std::string userName() {
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) return entry->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "";
}

std::string machineName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "";
    return name;
}

std::string userStateFolder(const char* application) {
    // XDG base directories: only an absolute $XDG_STATE_HOME counts.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        return pathInFolder(state, application);
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* entry = getpwuid(geteuid());
        home = entry ? entry->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return "";
    return std::string(home) + "/.local/state/" + application;
}

std::string pathInFolder(const std::string& folder, const char* name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}
