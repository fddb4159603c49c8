#include "base/program_output.h"

#include <cstdarg>
#include <cstdio>

#include "base/text.h"
#include "platform/platform_clock.h"

void ProgramOutput::endBar() {
    if (!barShown_) return;
    std::fputs("\n", mode_.lines);
    barShown_ = false;
}

void ProgramOutput::eraseBlock() {
    for (; blockRows_ > 0; --blockRows_) std::fputs("\x1b[1A\x1b[2K", mode_.lines);
}

void ProgramOutput::block(const std::vector<std::string>& rows) {
    SpinGuard lock(writing_);
    eraseBlock();
    for (const std::string& row : rows) std::fprintf(mode_.lines, "%s\n", row.c_str());
    blockRows_ = static_cast<int>(rows.size());
    std::fflush(mode_.lines);
}

void ProgramOutput::writeLine(const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    SpinGuard lock(writing_);
    endBar();
    eraseBlock();
    std::fprintf(mode_.lines, "%s: %s\n", mode_.program.c_str(), text);
    std::fflush(mode_.lines);
}

void ProgramOutput::line(const char* format, ...) {
    if (mode_.quiet) return;
    va_list args;
    va_start(args, format);
    writeLine(format, args);
    va_end(args);
}

void ProgramOutput::importantLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(format, args);
    va_end(args);
}

void ProgramOutput::bar(const std::string& text, bool force) {
    if (!mode_.bar || mode_.quiet) return;
    uint32_t now = clockMillis();
    SpinGuard lock(writing_);
    if (!force && barShown_ && now - lastBarMs_ < 100) return;
    lastBarMs_ = now;
    int room = (mode_.console ? mode_.console->columns(ConsoleStream::Error, 20) : 80) - 1;
    std::fprintf(mode_.lines, "\r%.*s\x1b[K", room, text.c_str());
    std::fflush(mode_.lines);
    barShown_ = true;
}

void ProgramOutput::writeOut(const std::string& line) {
    SpinGuard lock(writing_);
    if (outClosed_) return;
    // A reader that went away (a closed pipe) ends the events, not the run.
    if (std::fputs(line.c_str(), mode_.events) < 0 || std::fputs("\n", mode_.events) < 0 ||
        std::fflush(mode_.events) != 0)
        outClosed_ = true;
}

void ProgramOutput::eventLine(const std::string& line) {
    if (mode_.json) writeOut(line);
}

std::string shownText(const char* text) {
    char shown[512];
    return escapeControls(shown, sizeof shown, text ? text : "");
}
