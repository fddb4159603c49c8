#include "platform/platform_process.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

static std::atomic<ExitHook> exitHook{nullptr};

void setExitHook(ExitHook hook) { exitHook.store(hook); }

void endProcess(int exitCode) {
    if (ExitHook hook = exitHook.exchange(nullptr)) hook();
    std::fflush(nullptr);
    // Other threads may still be running: skip static destructors.
    _exit(exitCode);
}
