// Message boxes in the terminal: caption and text on standard error; when a
// person is at the keyboard, wait for Enter as a box waits for OK (Ctrl+C
// and the end of input close it too).
#include <cstdio>

#include "base/text.h"
#include "ui/terminal/terminal_front_end.h"
#include "ui/terminal/terminal_console.h"
#include "ui/terminal/terminal_input.h"
#include "ui/terminal/terminal_interrupt.h"
#include "ui/terminal/terminal_mode.h"

namespace {
void showBox(const char* text, const char* caption) {
    installInterruptHandler();
    addInterruptListener();
    beginModal();
    {
        std::lock_guard<std::mutex> guard(consoleLock());
        std::fflush(stdout);
        // Texts may carry what a device sent: control bytes are shown, not obeyed.
        char shown[1024];
        std::fprintf(stderr, "%s: %s\n", caption, escapeControls(shown, sizeof shown, text));
        if (inputIsTerminal()) std::fputs("Press Enter to continue.", stderr);
        std::fflush(stderr);
    }
    if (inputIsTerminal()) {
        char ignored[64];
        readInputLine(ignored, sizeof ignored);
    }
    endModal();
    removeInterruptListener();
}
}  // namespace

void terminalShowErrorBox(const char* text) { showBox(text, kErrorBoxCaption); }

void terminalShowMessageBox(const char* text, const char* caption) { showBox(text, caption ? caption : ""); }
