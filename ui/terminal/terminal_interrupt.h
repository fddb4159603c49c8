// Ctrl+C (SIGINT) for the terminal front end. The handler only raises a
// flag; prompts, message boxes and progress windows look at it on their own
// threads. With none of them on screen, Ctrl+C ends the process at once.
// SIGTERM and SIGHUP put the terminal back and end the process as they would.
#pragma once

void installInterruptHandler();

// Consumes a pending Ctrl+C; true when there was one.
bool takeInterrupt();

// Something that acts on Ctrl+C is on screen (counted, any thread).
void addInterruptListener();
void removeInterruptListener();
