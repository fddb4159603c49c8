// Ending the process from any thread.
#pragma once

// Runs before the process ends (the terminal front end restores the terminal).
typedef void (*ExitHook)();
void setExitHook(ExitHook hook);

// Other threads may still run: static destructors are skipped.
[[noreturn]] void endProcess(int exitCode);
