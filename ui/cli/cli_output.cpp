#include "ui/cli/cli_output.h"

#include <cstdarg>
#include <cstdio>

#include "core/spin_lock.h"
#include "core/text.h"
#include "platform/platform_clock.h"
#include "platform/platform_console.h"

namespace {
CliOutputMode outputMode{"", false, false, false};
// Held for one write of a few lines.
SpinLock writing;
bool barShown = false;
uint32_t lastBarMs = 0;

void endBar() {
    if (!barShown) return;
    std::fputs("\n", stderr);
    barShown = false;
}

void writeLine(const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    SpinGuard lock(writing);
    endBar();
    std::fprintf(stderr, "%s: %s\n", outputMode.program.c_str(), text);
    std::fflush(stderr);
}
}  // namespace

void setCliOutputMode(const CliOutputMode& mode) { outputMode = mode; }

const CliOutputMode& cliOutputMode() { return outputMode; }

void cliLine(const char* format, ...) {
    if (outputMode.quiet) return;
    va_list args;
    va_start(args, format);
    writeLine(format, args);
    va_end(args);
}

void cliImportantLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(format, args);
    va_end(args);
}

void cliBar(const std::string& text, bool force) {
    if (!outputMode.bar || outputMode.quiet) return;
    uint32_t now = clockMillis();
    SpinGuard lock(writing);
    if (!force && barShown && now - lastBarMs < 100) return;
    lastBarMs = now;
    int room = consoleColumns() - 1;
    std::fprintf(stderr, "\r%.*s\x1b[K", room, text.c_str());
    std::fflush(stderr);
    barShown = true;
}

void cliJson(const std::string& object) {
    if (!outputMode.json) return;
    SpinGuard lock(writing);
    std::fputs(object.c_str(), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

std::string jsonString(const char* text) {
    std::string out = "\"";
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text ? text : ""); *c; ++c) {
        if (*c == '"' || *c == '\\') {
            out += '\\';
            out += static_cast<char>(*c);
        } else if (*c < 0x20 || *c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", *c);
            out += escaped;
        } else {
            out += static_cast<char>(*c);
        }
    }
    return out + "\"";
}

std::string shownText(const char* text) {
    char shown[512];
    return escapeControls(shown, sizeof shown, text ? text : "");
}
