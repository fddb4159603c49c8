// What a command-line run writes: lines in plain words on standard error,
// a live bar there when it is a terminal, and with --json one object per
// event on standard output. Any thread may write; lines never mix.
#pragma once

#include <string>

struct CliOutputMode {
    std::string program;  // prefix of every line
    bool quiet;           // only the result of a failure
    bool json;
    bool bar;  // standard error is a terminal: live bar
};

void setCliOutputMode(const CliOutputMode& mode);
const CliOutputMode& cliOutputMode();

// A line on standard error (not when quiet, unless important).
void cliLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void cliImportantLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// The live bar's text, redrawn in place; at most every 100 ms unless forced.
void cliBar(const std::string& text, bool force);
// One JSON object (already composed) as a line on standard output.
void cliJson(const std::string& object);

// JSON building: a string literal with every byte that is not printable
// ASCII escaped (\uXXXX), so the output stays valid whatever a device sent.
std::string jsonString(const char* text);
// Device text for a line: control bytes shown as \xNN.
std::string shownText(const char* text);
