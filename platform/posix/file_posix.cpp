#include "platform/platform_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
void say(int error, char* why, size_t whySize) {
    if (why && whySize > 0) std::snprintf(why, whySize, "%s", std::strerror(error));
}
}  // namespace

bool sameFile(const char* a, const char* b) {
    struct stat first {}, second {};
    if (stat(a, &first) != 0 || stat(b, &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool fileIsLink(const char* path) {
    struct stat about {};
    return lstat(path, &about) == 0 && S_ISLNK(about.st_mode);
}

bool fileReplace(const char* path, const char* data, size_t size, char* why, size_t whySize) {
    // Beside it, so the rename stays on one file system; a name already
    // there (a leftover, or planted) is never opened, another is tried.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = std::string(path) + ".tmp." + std::to_string(getpid()) + "." + std::to_string(attempt);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        say(errno, why, whySize);
        return false;
    }
    int error = 0;
    while (size > 0 && error == 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error = written < 0 ? errno : ENOSPC;
        } else {
            data += written;
            size -= static_cast<size_t>(written);
        }
    }
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temporary.c_str(), path) != 0) error = errno;
    if (error == 0) return true;
    unlink(temporary.c_str());
    say(error, why, whySize);
    return false;
}

bool fileAppendRecord(const char* path, const char* data, size_t size, char* why, size_t whySize) {
    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        say(errno, why, whySize);
        return false;
    }
    // One write: appends to a regular file are atomic against each other.
    ssize_t written;
    do written = write(fd, data, size);
    while (written < 0 && errno == EINTR);
    int error = written < 0 ? errno : static_cast<size_t>(written) != size ? ENOSPC : 0;
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0) return true;
    say(error, why, whySize);
    return false;
}

bool folderCreateAll(const std::string& path, char* why, size_t whySize) {
    for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        const std::string part = path.substr(0, at);
        if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            say(errno, why, whySize);
            return false;
        }
        if (at == std::string::npos) return true;
    }
}
