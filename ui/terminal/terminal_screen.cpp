#include "ui/terminal/terminal_screen.h"

#include <cstdio>

#include "base/text.h"

TerminalScreen::TerminalScreen(Console& console)
    : console_(console), inputIsTerminal_(console.inputIsTerminal()), outputIsTerminal_(console.outputIsTerminal()) {}

TerminalScreen::~TerminalScreen() {
    std::lock_guard<std::mutex> guard(lock_);
    endStatusLine();
    console_.setMode(ConsoleMode::Lines);
}

void TerminalScreen::applyMode() {
    if (modalDepth_ > 0)
        console_.setMode(hiddenInput_ ? ConsoleMode::HiddenLines : ConsoleMode::Lines);
    else if (liveWindows_ > 0)
        console_.setMode(ConsoleMode::Keys);
    else
        console_.setMode(ConsoleMode::Lines);
}

void TerminalScreen::beginModal() {
    console_.catchInterrupts(InterruptCatching::WhileHeard);
    console_.addInterruptListener();
    std::lock_guard<std::mutex> guard(lock_);
    endStatusLine();
    ++modalDepth_;
    applyMode();
}

void TerminalScreen::endModal() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (modalDepth_ > 0) --modalDepth_;
        if (modalDepth_ == 0) hiddenInput_ = false;
        applyMode();
    }
    console_.removeInterruptListener();
}

void TerminalScreen::setModalInputHidden(bool hidden) {
    std::lock_guard<std::mutex> guard(lock_);
    hiddenInput_ = hidden;
    applyMode();
}

void TerminalScreen::endStatusLine() {
    if (!statusShown_) return;
    std::fputs("\n", stdout);
    std::fflush(stdout);
    statusShown_ = false;
}

void TerminalScreen::addLiveWindow() {
    console_.addInterruptListener();
    ++liveWindows_;
    applyMode();
}

void TerminalScreen::removeLiveWindow() {
    if (liveWindows_ > 0) --liveWindows_;
    applyMode();
    console_.removeInterruptListener();
}

void TerminalScreen::writeOut(const char* text) {
    endStatusLine();
    std::fputs(text, stdout);
    std::fflush(stdout);
}

void TerminalScreen::writeTextBlock(const char* text) {
    char block[2048];
    escapeControls(block, sizeof block - 1, text, true);
    // CR LF becomes a plain line break.
    size_t length = 0;
    for (const char* c = block; *c; ++c)
        if (*c != '\r') block[length++] = *c;
    if (length == 0 || block[length - 1] != '\n') block[length++] = '\n';
    block[length] = '\0';
    writeOut(block);
}
