#include "ui/win32/win32_front_end.h"

#include "ui/native_front_end.h"

std::unique_ptr<WizardWindows> makeNativeWindows(void* instance, const ProgramProfile& profile, Console&) {
    auto windows = std::make_unique<Win32Windows>(instance, profile);
    // No window class, no run.
    if (!windows->prepare()) return nullptr;
    return windows;
}
