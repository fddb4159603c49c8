#include "platform/platform_process.h"

#include <atomic>
#include <windows.h>

static std::atomic<ExitHook> exitHook{nullptr};

void setExitHook(ExitHook hook) { exitHook.store(hook); }

void endProcess(int exitCode) {
    if (ExitHook hook = exitHook.exchange(nullptr)) hook();
    ExitProcess(static_cast<UINT>(exitCode));
}
