#include "platform/platform_shared_files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

bool privateFolderCreate(const char* prefix, std::string* path, char* why, size_t whySize) {
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") + "/" + prefix + ".XXXXXX";
    // mkdtemp makes it 0700, under a name nobody could have planted.
    if (!mkdtemp(&pattern[0])) {
        std::snprintf(why, whySize, "cannot make a folder %s: %s", pattern.c_str(), std::strerror(errno));
        return false;
    }
    *path = pattern;
    return true;
}

bool fileMapReadOnly(const char* path, const uint8_t** data, uint64_t* size, char* why, size_t whySize) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat about {};
    const char* reason = nullptr;
    if (fd < 0)
        reason = std::strerror(errno);
    else if (fstat(fd, &about) != 0 || !S_ISREG(about.st_mode))
        reason = "not a regular file";
    else if (about.st_size == 0)
        reason = "empty";
    void* mapped = MAP_FAILED;
    if (!reason) {
        mapped = mmap(nullptr, static_cast<size_t>(about.st_size), PROT_READ, MAP_SHARED, fd, 0);
        if (mapped == MAP_FAILED) reason = std::strerror(errno);
    }
    if (fd >= 0) close(fd);
    if (reason) {
        std::snprintf(why, whySize, "%s", reason);
        return false;
    }
    *data = static_cast<const uint8_t*>(mapped);
    *size = static_cast<uint64_t>(about.st_size);
    return true;
}
