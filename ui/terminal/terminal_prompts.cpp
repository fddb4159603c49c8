#include "ui/terminal/terminal_prompts.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "base/text.h"

namespace {
const size_t kAnswerSize = 256;

void say(TerminalScreen& screen, const char* text) {
    std::lock_guard<std::mutex> guard(screen.lock());
    screen.writeOut(text);
}

bool sameLabel(const char* typed, const char* label) {
    // Labels may carry blanks of their own ("Upgrade Firmware ").
    while (*label == ' ') ++label;
    size_t length = std::strlen(label);
    while (length > 0 && label[length - 1] == ' ') --length;
    if (std::strlen(typed) != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(typed[i])) != std::tolower(static_cast<unsigned char>(label[i])))
            return false;
    return true;
}

// A line for the prompt just written. From a pipe nothing is echoed, so the
// answer is written after the prompt (a hidden one as a bare line end) and
// a log reads like the screen would.
bool readAnswer(TerminalScreen& screen, char* out, size_t size, bool hidden) {
    LineResult result = screen.console().readLine(out, size);
    if (result == LineResult::Closed) {
        say(screen, "\n");
        return false;
    }
    if (!screen.inputIsTerminal()) {
        std::lock_guard<std::mutex> guard(screen.lock());
        if (!hidden) screen.writeOut(out);
        screen.writeOut("\n");
    }
    return true;
}

// 1..count, or 0 when the text is not such a number.
int menuNumber(const char* text, int count) {
    if (!*text || std::strlen(text) > 3) return 0;
    for (const char* c = text; *c; ++c)
        if (!std::isdigit(static_cast<unsigned char>(*c))) return 0;
    int number = std::atoi(text);
    return number >= 1 && number <= count ? number : 0;
}
}  // namespace

char* trimBlanks(char* text) {
    size_t start = 0;
    while (text[start] && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    size_t end = std::strlen(text);
    while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    std::memmove(text, text + start, end - start);
    text[end - start] = '\0';
    return text;
}

// Titles, texts and values may carry what a device sent: their control
// bytes are shown as \xNN, never written to the terminal as they are.
void printDialogTitle(TerminalScreen& screen, const char* title) {
    char shown[256];
    char line[320];
    formatText(line, sizeof line, "\n== %s ==\n", escapeControls(shown, sizeof shown, title));
    say(screen, line);
}

void printDialogText(TerminalScreen& screen, const char* text) {
    std::lock_guard<std::mutex> guard(screen.lock());
    screen.writeTextBlock(text);
}

void printDialogValue(TerminalScreen& screen, const char* label, const char* value) {
    char shown[512];
    char line[640];
    formatText(line, sizeof line, "%s: %s\n", label, escapeControls(shown, sizeof shown, value));
    say(screen, line);
}

bool askEntry(TerminalScreen& screen, const char* label, char* out, size_t size, bool hidden) {
    char prompt[160];
    formatText(prompt, sizeof prompt, "%s: ", label);
    // Echo goes off before the prompt shows, so that nothing typed is seen.
    if (hidden) screen.setModalInputHidden(true);
    say(screen, prompt);
    bool answered = readAnswer(screen, out, size, hidden);
    if (hidden) screen.setModalInputHidden(false);
    return answered;
}

bool askMenu(TerminalScreen& screen, const char* label, const char entries[][kLocalAddressTextSize], int count,
             int* selected) {
    char line[160];
    formatText(line, sizeof line, "%s:\n", label);
    say(screen, line);
    for (int i = 0; i < count; ++i) {
        formatText(line, sizeof line, "  %d) %s\n", i + 1, entries[i]);
        say(screen, line);
    }
    for (;;) {
        formatText(line, sizeof line, "Choose 1-%d [%d]: ", count, *selected + 1);
        say(screen, line);
        char answer[kAnswerSize];
        if (!readAnswer(screen, answer, sizeof answer, false)) return false;
        trimBlanks(answer);
        if (!answer[0]) return true;
        int number = menuNumber(answer, count);
        if (number) {
            *selected = number - 1;
            return true;
        }
        say(screen, "No such entry.\n");
    }
}

int askButton(TerminalScreen& screen, const PromptButton* buttons, int count, int defaultIndex) {
    char line[256] = "";
    size_t used = 0;
    for (int i = 0; i < count; ++i) {
        char label[64];
        copyText(label, sizeof label, buttons[i].label);
        trimBlanks(label);
        used += static_cast<size_t>(
            formatText(line + used, sizeof line - used, i == defaultIndex ? "%s[%s]" : "%s%s", i ? " / " : "", label));
    }
    formatText(line + used, sizeof line - used, " > ");
    for (;;) {
        say(screen, line);
        char answer[kAnswerSize];
        if (!readAnswer(screen, answer, sizeof answer, false)) return 0;
        trimBlanks(answer);
        if (!answer[0] && defaultIndex >= 0) return buttons[defaultIndex].command;
        for (int i = 0; i < count; ++i)
            if (answer[0] && sameLabel(answer, buttons[i].label)) return buttons[i].command;
        say(screen, "No such button.\n");
    }
}
