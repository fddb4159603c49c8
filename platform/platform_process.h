// Ending the process from any thread, always with exit code 0.
#pragma once

// Runs before the process ends (the terminal front end restores the terminal).
typedef void (*ExitHook)();
void setExitHook(ExitHook hook);

[[noreturn]] void endProcess();
