// What a command-line program writes: lines in plain words on standard
// error, a live bar or a block of live rows there when it is a terminal,
// and with --json one event per line on standard output. Any thread may
// write; lines never mix. A reader that goes away stops the events, never
// the run.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "base/spin_lock.h"
#include "platform/platform_console.h"

struct OutputMode {
    std::string program;  // prefix of every line
    bool quiet = false;   // only the result of a failure
    bool json = false;
    bool bar = false;  // standard error is a terminal: live bar
    const Console* console = nullptr;  // the bar's width; 80 columns without
    std::FILE* lines = stderr;
    std::FILE* events = stdout;
};

class ProgramOutput {
public:
    explicit ProgramOutput(const OutputMode& mode) : mode_(mode) {}
    const OutputMode& mode() const { return mode_; }

    // A line on standard error (not when quiet, unless important).
    void line(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void importantLine(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // The live bar's text, redrawn in place; at most every 100 ms unless forced.
    void bar(const std::string& text, bool force);
    // Rows redrawn in place under the lines (a fleet's running devices); the
    // next line takes their place, and the next block replaces them.
    void block(const std::vector<std::string>& rows);
    // One event's line on standard output, with --json.
    void eventLine(const std::string& line);

private:
    void writeLine(const char* format, va_list args)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 0)))
#endif
        ;
    void endBar();
    void eraseBlock();
    void writeOut(const std::string& line);

    OutputMode mode_;
    SpinLock writing_;
    bool barShown_ = false;
    int blockRows_ = 0;
    unsigned lastBarMs_ = 0;
    bool outClosed_ = false;
};

// Device text for a line: control bytes shown as \xNN.
std::string shownText(const char* text);
inline std::string shownText(const std::string& text) { return shownText(text.c_str()); }
