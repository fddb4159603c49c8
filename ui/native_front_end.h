// The platform's own wizard: the Win32 dialogs and windows, or the
// terminal's prompts and status lines. Each build links exactly one.
#pragma once

#include <memory>

#include "core/program_profile.h"
#include "platform/platform_console.h"
#include "ui/wizard_front_end.h"

// The program's windows, prepared (window classes, common controls); null
// when they cannot be, which ends the program silently. The terminal's
// prompts and status lines use the console; Windows' own windows do not.
std::unique_ptr<WizardWindows> makeNativeWindows(void* instance, const ProgramProfile& profile, Console& console);
