// Message boxes in the terminal: caption and text on standard error; when a
// person is at the keyboard, wait for Enter as a box waits for OK (Ctrl+C
// and the end of input close it too).
#include <cstdio>

#include "base/text.h"
#include "ui/terminal/terminal_front_end.h"

void terminalShowBox(TerminalScreen& screen, const char* text, const char* caption) {
    screen.beginModal();
    {
        std::lock_guard<std::mutex> guard(screen.lock());
        std::fflush(stdout);
        // Texts may carry what a device sent: control bytes are shown, not obeyed.
        char shown[1024];
        std::fprintf(stderr, "%s: %s\n", caption, escapeControls(shown, sizeof shown, text));
        if (screen.inputIsTerminal()) std::fputs("Press Enter to continue.", stderr);
        std::fflush(stderr);
    }
    if (screen.inputIsTerminal()) {
        char ignored[64];
        screen.console().readLine(ignored, sizeof ignored);
    }
    screen.endModal();
}
