// The console a command-line run talks to: where it was started from,
// whether a person is at it, and Ctrl+C.
#pragma once

#include <cstddef>

// Windows: output goes to the console the program was started from (when
// its standard handles are not already redirected); elsewhere nothing to do.
void consoleAttach();

bool consoleInputIsTerminal();
bool consoleErrorIsTerminal();
// Columns of the terminal on standard error; 80 when unknown.
int consoleColumns();

// One line from standard input, without its line end; hidden: not echoed.
// False at the end of input or on Ctrl+C.
bool consoleReadLine(char* out, size_t size, bool hidden);

// Ctrl+C (and a closed console) raises a flag instead of ending the process.
void consoleCatchInterrupt();
bool consoleInterrupted();
// How many times Ctrl+C was pressed so far.
int consoleInterruptCount();
