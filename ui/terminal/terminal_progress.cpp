// Progress windows as status lines. On a terminal the topmost view (the
// last opened of those still open, whichever thread opened it) is redrawn
// in place, at most every kRedrawIntervalMs; otherwise a view writes one
// plain line per title, so a log keeps one line per title. An update that
// draws nothing costs no system call.
#include <cstdio>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

#include "base/text.h"
#include "platform/platform_clock.h"
#include "ui/dialog_texts.h"
#include "ui/terminal/terminal_console.h"
#include "ui/terminal/terminal_front_end.h"
#include "ui/terminal/terminal_input.h"
#include "ui/terminal/terminal_interrupt.h"
#include "ui/terminal/terminal_mode.h"

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

namespace {
const int kViewSlots = 8;
const uint32_t kRedrawIntervalMs = 50;
const uint32_t kKeyCheckIntervalMs = 20;
const unsigned kBarWidth = 20;
const size_t kLineSize = 512;

ProgressView views[kViewSlots];
ProgressView spare;
uint64_t nextOrder = 1;
uint32_t lastDrawMs = 0;
uint32_t lastKeyCheckMs = 0;
const ProgressView* drawnView = nullptr;  // what the status line shows

// Everything below with consoleLock held.

ProgressView* topView() {
    ProgressView* top = nullptr;
    for (ProgressView& view : views)
        if (view.inUse && (!top || view.order > top->order)) top = &view;
    return top;
}

unsigned terminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 40) return size.ws_col;
    return 80;
}

void composeStatusLine(const ProgressView* view, char* line, size_t size) {
    unsigned shown = view->position < view->maximum ? view->position : view->maximum;
    unsigned filled = view->maximum ? static_cast<unsigned>(uint64_t{shown} * kBarWidth / view->maximum) : 0;
    unsigned percent = view->maximum ? static_cast<unsigned>(uint64_t{shown} * 100 / view->maximum) : 0;
    char bar[kBarWidth + 1];
    for (unsigned i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '-';
    bar[kBarWidth] = '\0';
    // Title, bar and percentage on one line of the terminal.
    int titleRoom = static_cast<int>(terminalColumns()) - static_cast<int>(kBarWidth) - 9;
    formatText(line, size, "%.*s [%s] %3u%%", titleRoom, view->title, bar, percent);
}

void drawStatus(ProgressView* view, uint32_t now) {
    char line[kLineSize];
    composeStatusLine(view, line, sizeof line);
    std::fputs("\r", stdout);
    std::fputs(line, stdout);
    std::fputs("\x1b[K", stdout);
    std::fflush(stdout);
    setStatusLineShown(true);
    drawnView = view;
    view->dirty = false;
    lastDrawMs = now;
}

void redrawIfDue(ProgressView* view, bool force) {
    if (!outputIsTerminal() || modalActive() || !view->shown || view != topView()) return;
    if (!view->dirty && statusLineShown() && drawnView == view) return;
    uint32_t now = clockMillis();
    if (!force && now - lastDrawMs < kRedrawIntervalMs) return;
    drawStatus(view, now);
}

void writeTitleLine(const ProgressView* view) {
    char line[kViewTitleSize + 2];
    formatText(line, sizeof line, "%s\n", view->title);
    writeOut(line);
}

// Ctrl+C, Esc or q: the Cancel button of the view in front, unless a
// prompt or box has the keyboard.
bool userCancelled(ProgressView* view) {
    if (modalActive() || !view->shown || view != topView()) return false;
    if (takeInterrupt()) return true;
    if (!inputIsTerminal()) return false;
    uint32_t now = clockMillis();
    if (now - lastKeyCheckMs < kKeyCheckIntervalMs) return false;
    lastKeyCheckMs = now;
    return cancelKeyTyped();
}

const char* windowTitle(ProgressKind kind) {
    switch (kind) {
        case ProgressKind::Connecting: return kConnectingTitle;
        case ProgressKind::Upload: return kUploadTitle;
        case ProgressKind::Waiting: return kWaitingTitle;
    }
    return "";
}
}  // namespace

void writeTextBlock(const char* text) {
    char block[2048];
    escapeControls(block, sizeof block - 1, text, true);
    // CR LF becomes a plain line break.
    size_t length = 0;
    for (const char* c = block; *c; ++c)
        if (*c != '\r') block[length++] = *c;
    if (length == 0 || block[length - 1] != '\n') block[length++] = '\n';
    block[length] = '\0';
    writeOut(block);
}

ProgressView* terminalOpenProgress(ProgressKind kind, const char* title) {
    installInterruptHandler();
    char shownTitle[kViewTitleSize];
    escapeControls(shownTitle, sizeof shownTitle, title ? title : windowTitle(kind));

    std::lock_guard<std::mutex> guard(consoleLock());
    ProgressView* view = &spare;
    for (ProgressView& slot : views)
        if (!slot.inUse) {
            view = &slot;
            break;
        }
    *view = ProgressView{};
    view->inUse = true;
    view->shown = view != &spare;
    view->order = nextOrder++;
    copyText(view->title, sizeof view->title, shownTitle);
    view->maximum = 100;
    view->dirty = true;
    if (!view->shown) return view;

    addInterruptListener();
    addLiveWindow();
    if (kind == ProgressKind::Upload) writeTextBlock(kUploadNotice);
    if (outputIsTerminal()) {
        endStatusLine();  // the view behind keeps its last state above
        redrawIfDue(view, true);
    } else {
        writeTitleLine(view);
    }
    return view;
}

void terminalSetProgressRange(ProgressView* view, unsigned maximum) {
    std::lock_guard<std::mutex> guard(consoleLock());
    if (view->maximum == maximum) return;
    view->maximum = maximum;
    view->dirty = true;
    redrawIfDue(view, false);
}

void terminalSetProgressPosition(ProgressView* view, unsigned position) {
    std::lock_guard<std::mutex> guard(consoleLock());
    if (view->position == position) return;
    view->position = position;
    view->dirty = true;
    redrawIfDue(view, false);
}

void terminalSetProgressTitle(ProgressView* view, const char* title) {
    char shownTitle[kViewTitleSize];
    escapeControls(shownTitle, sizeof shownTitle, title);
    std::lock_guard<std::mutex> guard(consoleLock());
    if (std::strcmp(view->title, shownTitle) == 0) return;
    copyText(view->title, sizeof view->title, shownTitle);
    view->dirty = true;
    if (!view->shown) return;
    if (outputIsTerminal())
        redrawIfDue(view, false);
    else
        writeTitleLine(view);
}

void terminalSetProgressText(ProgressView* view, const char* text) {
    std::lock_guard<std::mutex> guard(consoleLock());
    if (view->shown) writeTextBlock(text);
}

void terminalSetProgressNote(ProgressView* view, const char* note) {
    char line[kLineSize];
    formatText(line, sizeof line, "Note: %s", note);
    std::lock_guard<std::mutex> guard(consoleLock());
    if (view->shown) writeTextBlock(line);
}

bool terminalPollProgress(ProgressView* view) {
    std::lock_guard<std::mutex> guard(consoleLock());
    if (!view->cancelled) view->cancelled = userCancelled(view);
    if (!view->cancelled) redrawIfDue(view, false);
    return view->cancelled;
}

void terminalCloseProgress(ProgressView* view) {
    std::lock_guard<std::mutex> guard(consoleLock());
    if (!view->inUse) return;
    if (view == &spare) {
        view->inUse = false;
        return;
    }
    if (outputIsTerminal() && drawnView == view && statusLineShown()) {
        // Its last state stays on screen as a record.
        if (view->dirty && !modalActive()) drawStatus(view, clockMillis());
        endStatusLine();
    }
    if (drawnView == view) drawnView = nullptr;
    view->inUse = false;
    removeLiveWindow();
    removeInterruptListener();
}
