// The windows that keep the user informed while the program waits on the
// network, in the flows' own words: open a view of a kind, set its bar,
// title and text, poll it (which keeps it alive and says whether Cancel
// was pressed), close it. A view belongs to the thread that opened it.
#pragma once

enum class ProgressKind {
    Connecting,  // a request to the device, or the recovery search
    Upload,      // the transfer, then the wait for the restart
    Waiting,     // for the device's read request
};

struct ProgressView;

struct ProgressFrontEnd {
    // title: null keeps the window's own. May return null; every call below
    // accepts null and does nothing.
    ProgressView* (*open)(ProgressKind kind, const char* title);
    void (*setRange)(ProgressView* view, unsigned maximum);
    void (*setPosition)(ProgressView* view, unsigned position);
    void (*setTitle)(ProgressView* view, const char* title);
    void (*setText)(ProgressView* view, const char* text);
    // A short remark on what went wrong so far (the device's answer to the
    // trigger, say); the wait goes on.
    void (*setNote)(ProgressView* view, const char* note);
    // Delivers what is pending for the view; true once Cancel (or the close
    // box, or Ctrl+C) was pressed.
    bool (*poll)(ProgressView* view);
    void (*close)(ProgressView* view);
};

void useProgressFrontEnd(const ProgressFrontEnd* frontEnd);

// Through the installed front end.
ProgressView* openProgress(ProgressKind kind, const char* title = nullptr);
void setProgressRange(ProgressView* view, unsigned maximum);
void setProgressPosition(ProgressView* view, unsigned position);
void setProgressTitle(ProgressView* view, const char* title);
void setProgressText(ProgressView* view, const char* text);
void setProgressNote(ProgressView* view, const char* note);
bool progressCancelled(ProgressView* view);
void closeProgress(ProgressView* view);
