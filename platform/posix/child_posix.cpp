#include "platform/platform_child.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

struct OrbChild {
    pid_t pid;
    int output;  // read end of its standard output; -1 once it ended
    int log;     // its standard error's file, kept for the parent's lines; -1: none
    bool ended;
    int status;
    rusage usage;
};

namespace {
// Opened by the parent, so a refusal is known before anything starts. Never
// through a symbolic link (one planted in a shared folder would have us
// append to another file); a regular file only (a FIFO would block).
int openLog(const char* path, char* why, size_t whySize) {
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    const char* reason = nullptr;
    struct stat about {};
    if (fd < 0)
        reason = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
    else if (fstat(fd, &about) != 0 || !S_ISREG(about.st_mode))
        reason = "not a regular file";
    if (!reason) {
        fcntl(fd, F_SETFL, O_APPEND);
        return fd;
    }
    if (fd >= 0) close(fd);
    if (why && whySize > 0) std::snprintf(why, whySize, "%s", reason);
    return -1;
}
}  // namespace

bool childLogOpenable(const char* path, char* why, size_t whySize) {
    int fd = openLog(path, why, whySize);
    if (fd >= 0) close(fd);
    return fd >= 0;
}

OrbChild* childStart(char* const* argv, const char* errorPath) {
    int error = -1;
    if (errorPath && (error = openLog(errorPath, nullptr, 0)) < 0) return nullptr;
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        if (error >= 0) close(error);
        return nullptr;
    }
    OrbChild* child = new (std::nothrow) OrbChild{};
    pid_t parent = getpid();
    pid_t pid = child ? fork() : -1;
    if (pid < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (error >= 0) close(error);
        delete child;
        return nullptr;
    }
    if (pid == 0) {
        // Ends with the thread that started it, however that ends; if the
        // parent is gone already, it was too late to ask.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        // Its own group: the terminal's Ctrl+C goes to the parent, which decides.
        setpgid(0, 0);
        // The parent's ignored SIGPIPE (consoleAttach) is not the child's.
        signal(SIGPIPE, SIG_DFL);
        int nothing = open("/dev/null", O_RDWR);
        dup2(nothing, STDIN_FILENO);
        dup2(pipeEnds[1], STDOUT_FILENO);
        dup2(error < 0 ? nothing : error, STDERR_FILENO);
        for (int fd = 3; fd < 1024; ++fd) close(fd);
        execv(argv[0], argv);
        _exit(127);
    }
    close(pipeEnds[1]);
    fcntl(pipeEnds[0], F_SETFL, fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);
    child->pid = pid;
    child->output = pipeEnds[0];
    child->log = error;
    return child;
}

bool childLogAppend(OrbChild* child, const char* text, size_t length) {
    if (child->log < 0) return false;
    while (length > 0) {
        ssize_t written = write(child->log, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

int childRead(OrbChild* child, char* buffer, int size) {
    if (child->output < 0) return -1;
    ssize_t got = read(child->output, buffer, static_cast<size_t>(size));
    if (got > 0) return static_cast<int>(got);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    close(child->output);
    child->output = -1;
    return -1;
}

void childWaitForOutput(OrbChild* const* children, int count, unsigned timeoutMs) {
    pollfd fds[256];
    int used = 0;
    for (int i = 0; i < count && used < 256; ++i)
        if (children[i] && children[i]->output >= 0) fds[used++] = pollfd{children[i]->output, POLLIN, 0};
    poll(fds, static_cast<nfds_t>(used), static_cast<int>(timeoutMs));
}

bool childEnded(OrbChild* child, int* status) {
    if (!child->ended) {
        int raw = 0;
        pid_t done = wait4(child->pid, &raw, WNOHANG, &child->usage);
        if (done != child->pid) return false;
        child->ended = true;
        child->status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
    }
    *status = child->status;
    return true;
}

void childInterrupt(OrbChild* child) {
    if (!child->ended) kill(child->pid, SIGINT);
}

void childRelease(OrbChild* child, ChildUsage* usage) {
    if (usage && child->ended) {
        usage->cpuSeconds += child->usage.ru_utime.tv_sec + child->usage.ru_utime.tv_usec / 1e6 +
                             child->usage.ru_stime.tv_sec + child->usage.ru_stime.tv_usec / 1e6;
        uint64_t peak = static_cast<uint64_t>(child->usage.ru_maxrss) * 1024;
        if (peak > usage->peakBytes) usage->peakBytes = peak;
    }
    if (child->output >= 0) close(child->output);
    if (child->log >= 0) close(child->log);
    delete child;
}

double processCpuSeconds() {
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    return self.ru_utime.tv_sec + self.ru_utime.tv_usec / 1e6 + self.ru_stime.tv_sec + self.ru_stime.tv_usec / 1e6;
}

bool currentProgramPath(char* out, unsigned size) {
    ssize_t length = readlink("/proc/self/exe", out, size - 1);
    if (length <= 0) return false;
    out[length] = '\0';
    return true;
}
