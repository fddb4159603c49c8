#include "ui/cli/cli_output.h"

#include <cstdarg>
#include <cstdio>

#include "base/text.h"
#include "platform/platform_clock.h"

void CliOutput::endBar() {
    if (!barShown_) return;
    std::fputs("\n", stderr);
    barShown_ = false;
}

void CliOutput::writeLine(const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    SpinGuard lock(writing_);
    endBar();
    std::fprintf(stderr, "%s: %s\n", mode_.program.c_str(), text);
    std::fflush(stderr);
}

void CliOutput::line(const char* format, ...) {
    if (mode_.quiet) return;
    va_list args;
    va_start(args, format);
    writeLine(format, args);
    va_end(args);
}

void CliOutput::importantLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(format, args);
    va_end(args);
}

void CliOutput::bar(const std::string& text, bool force) {
    if (!mode_.bar || mode_.quiet) return;
    uint32_t now = clockMillis();
    SpinGuard lock(writing_);
    if (!force && barShown_ && now - lastBarMs_ < 100) return;
    lastBarMs_ = now;
    int room = (mode_.console ? mode_.console->columns(ConsoleStream::Error, 20) : 80) - 1;
    std::fprintf(stderr, "\r%.*s\x1b[K", room, text.c_str());
    std::fflush(stderr);
    barShown_ = true;
}

void CliOutput::writeOut(const std::string& line) {
    SpinGuard lock(writing_);
    if (outClosed_) return;
    // A reader that went away (a closed pipe) ends the events, not the run.
    if (std::fputs(line.c_str(), stdout) < 0 || std::fputs("\n", stdout) < 0 || std::fflush(stdout) != 0)
        outClosed_ = true;
}

void CliOutput::event(const RunEvent& event) {
    if (mode_.json) writeOut(::eventLine(event));
}

void CliOutput::eventLine(const std::string& line) {
    if (mode_.json) writeOut(line);
}

std::string shownText(const char* text) {
    char shown[512];
    return escapeControls(shown, sizeof shown, text ? text : "");
}
