// Progress windows as status lines. On a terminal the topmost view (the
// last opened of those still open, whichever thread opened it) is redrawn
// in place, at most every 50 ms; otherwise a view writes one plain line per
// title, so a log keeps one line per title. An update that draws nothing
// costs no system call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/terminal/terminal_screen.h"
#include "ui/wizard.h"

const size_t kViewTitleSize = 256;

struct ProgressView {
    bool inUse;
    bool shown;      // false for the spare, which works but is never drawn
    uint64_t order;  // higher: opened later, drawn on top
    char title[kViewTitleSize];
    unsigned maximum;
    unsigned position;
    bool dirty;  // changed since last drawn
    bool cancelled;
};

class TerminalProgress {
public:
    explicit TerminalProgress(TerminalScreen& screen) : screen_(screen) {}
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    ProgressView* open(ProgressKind kind, const char* title);
    void setRange(ProgressView* view, unsigned maximum);
    void setPosition(ProgressView* view, unsigned position);
    void setTitle(ProgressView* view, const char* title);
    void setText(ProgressView* view, const char* text);
    void setNote(ProgressView* view, const char* note);
    bool poll(ProgressView* view);
    void close(ProgressView* view);

private:
    static const int kViewSlots = 8;

    // With the screen's lock held.
    ProgressView* topView();
    void drawStatus(ProgressView* view, uint32_t now);
    void redrawIfDue(ProgressView* view, bool force);
    void writeTitleLine(const ProgressView* view);
    bool userCancelled(ProgressView* view);

    TerminalScreen& screen_;
    ProgressView views_[kViewSlots] = {};
    ProgressView spare_ = {};
    uint64_t nextOrder_ = 1;
    uint32_t lastDrawMs_ = 0;
    uint32_t lastKeyCheckMs_ = 0;
    const ProgressView* drawnView_ = nullptr;  // what the status line shows
};
