// What a command-line run writes: lines in plain words on standard error,
// a live bar there when it is a terminal, and with --json one event per
// line on standard output. Any thread may write; lines never mix. A reader
// that goes away stops the events, never the run.
#pragma once

#include <cstdarg>
#include <string>

#include "base/spin_lock.h"
#include "platform/platform_console.h"
#include "ui/cli/run_event.h"

struct CliOutputMode {
    std::string program;  // prefix of every line
    bool quiet = false;   // only the result of a failure
    bool json = false;
    bool bar = false;  // standard error is a terminal: live bar
    const Console* console = nullptr;  // the bar's width; 80 columns without
};

class CliOutput {
public:
    explicit CliOutput(const CliOutputMode& mode) : mode_(mode) {}
    const CliOutputMode& mode() const { return mode_; }

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
    // One event as a line on standard output, with --json.
    void event(const RunEvent& event);
    // A line of standard output as it came (a fleet passes its children's on).
    void eventLine(const std::string& line);

private:
    void writeLine(const char* format, va_list args)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 0)))
#endif
        ;
    void endBar();
    void writeOut(const std::string& line);

    CliOutputMode mode_;
    SpinLock writing_;
    bool barShown_ = false;
    unsigned lastBarMs_ = 0;
    bool outClosed_ = false;
};

// Device text for a line: control bytes shown as \xNN.
std::string shownText(const char* text);
inline std::string shownText(const std::string& text) { return shownText(text.c_str()); }
