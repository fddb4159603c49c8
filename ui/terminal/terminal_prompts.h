// The pieces a terminal dialog is made of: its title, texts and values on
// standard output, then one line per entry field and one for the button.
// Every ask returns false (or -1) when the dialog was closed: end of input
// or Ctrl+C.
#pragma once

#include <cstddef>

#include "ui/dialog_logic.h"
#include "ui/terminal/terminal_screen.h"

struct PromptButton {
    const char* label;
    int command;
};

void printDialogTitle(TerminalScreen& screen, const char* title);
// \r\n in the text becomes a plain line break.
void printDialogText(TerminalScreen& screen, const char* text);
void printDialogValue(TerminalScreen& screen, const char* label, const char* value);

// One line, as typed; hidden: read without echo on a terminal.
bool askEntry(TerminalScreen& screen, const char* label, char* out, size_t size, bool hidden);
// The local address list as a numbered menu: an empty line keeps *selected,
// a number picks that entry; anything else is asked again.
bool askMenu(TerminalScreen& screen, const char* label, const char entries[][kLocalAddressTextSize], int count,
             int* selected);
// A button by its label, in any letter case; an empty line is the default
// button (defaultIndex, -1 for none). Unknown labels are asked again.
// Returns the button's command, or 0 when closed.
int askButton(TerminalScreen& screen, const PromptButton* buttons, int count, int defaultIndex);

// Leading and trailing blanks off, in place.
char* trimBlanks(char* text);
