// The console a command-line run talks to: where it was started from,
// whether a person is at it, and Ctrl+C.
#pragma once

#include <cstddef>

// Windows: output goes to the console the program was started from (when
// its standard handles are not already redirected). Elsewhere: SIGPIPE and
// SIGXFSZ are ignored, so writing to a closed output or past a file-size
// limit fails (EPIPE, EFBIG) instead of ending the process, and a closed
// standard descriptor is opened on /dev/null.
void consoleAttach();

bool consoleInputIsTerminal();
bool consoleErrorIsTerminal();
// Columns of the terminal on standard error; 80 when unknown.
int consoleColumns();

// One line from standard input, without its line end; hidden: not echoed.
// False at the end of input, or once consoleInterrupted() (it returns within
// about 100 ms of Ctrl+C, SIGTERM or SIGHUP once caught). While hidden, a
// signal that ends the process (SIGINT, SIGQUIT, SIGTERM, SIGHUP when not
// caught) puts the echo back before it does.
bool consoleReadLine(char* out, size_t size, bool hidden);

// From now on Ctrl+C raises a flag instead of ending the process, and so
// does a request to end (POSIX: SIGTERM, SIGHUP unless ignored from the
// start, as under nohup; Windows: the console closed, logoff, shutdown).
void consoleCatchInterrupt();
// Ctrl+C pressed, or an end requested.
bool consoleInterrupted();
// How many times Ctrl+C was pressed so far; at least 2 once an end was
// requested, as it asks to cancel at once as a second Ctrl+C does.
int consoleInterruptCount();
// An end requested (SIGTERM, SIGHUP; Windows: close, logoff, shutdown), as
// opposed to Ctrl+C only. Windows ends the process about 5 s after the
// console closes, whatever the program does.
bool consoleTerminationRequested();
