// Message boxes in the terminal: caption and text on standard error; when a
// person is at the keyboard, wait for Enter as a box waits for OK.
#include <cstdio>
#include <unistd.h>

#include "ui/front_end.h"

static void waitForEnterIfInteractive() {
    if (!isatty(STDIN_FILENO)) return;
    std::fputs("Press Enter to continue.", stderr);
    std::fflush(stderr);
    int c;
    do {
        c = std::getchar();
    } while (c != '\n' && c != EOF);
}

int ShowErrorBox(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : kErrorBoxCaption, text);
    std::fflush(stderr);
    waitForEnterIfInteractive();
    return kCommandOk;
}

void showMessageBox(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    waitForEnterIfInteractive();
}
