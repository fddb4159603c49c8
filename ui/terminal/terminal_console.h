// The one screen shared by all threads. Dialogs and message boxes take it
// modally (they may nest); the topmost progress window's status line steps
// aside meanwhile and comes back afterwards. Output goes through here under
// one lock so that lines of different threads never mix.
#pragma once

#include <mutex>

std::mutex& consoleLock();

// A prompt or box takes the screen; any thread.
void beginModal();
void endModal();
// The password field: lines are read without echo.
void setModalInputHidden(bool hidden);

// The rest with consoleLock held.
bool modalActive();
// Whether the current line of a terminal holds a status line.
bool statusLineShown();
void setStatusLineShown(bool shown);
// Ends a shown status line so that other output starts on a line of its own.
void endStatusLine();
// Progress windows in existence (they want single keys on a terminal).
void addLiveWindow();
void removeLiveWindow();
// stdout, flushed; a status line in the way is ended first.
void writeOut(const char* text);
