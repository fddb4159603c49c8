// The controlling terminal's input settings. Prompts read whole lines (with
// or without echo); while only progress windows are up, single keys are read
// so that Esc and q reach their Cancel button. Whatever was changed is put
// back before the process ends.
#pragma once

enum class TerminalMode {
    Lines,        // as the user had it: canonical, echo
    HiddenLines,  // canonical, no echo (the password)
    Keys,         // no line editing, no echo, reads never block
};

bool inputIsTerminal();
bool outputIsTerminal();

// No effect unless standard input is a terminal.
void setTerminalMode(TerminalMode mode);
// Back to the settings found at the first change.
void restoreTerminal();
// The same from a signal handler (async-signal-safe).
void restoreTerminalFromSignal();
