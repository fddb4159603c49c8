#include "platform/platform_process.h"

#include <atomic>
#include <windows.h>

static std::atomic<ExitHook> exitHook{nullptr};

void setExitHook(ExitHook hook) { exitHook.store(hook); }

void endProcess() {
    if (ExitHook hook = exitHook.exchange(nullptr)) hook();
    ExitProcess(0);
}
