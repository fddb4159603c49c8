#include "ui/terminal/terminal_progress.h"

#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "platform/platform_clock.h"
#include "ui/dialog_texts.h"

namespace {
const uint32_t kRedrawIntervalMs = 50;
const uint32_t kKeyCheckIntervalMs = 20;
const unsigned kBarWidth = 20;
const size_t kLineSize = 512;

void composeStatusLine(const ProgressView* view, int columns, char* line, size_t size) {
    unsigned shown = view->position < view->maximum ? view->position : view->maximum;
    unsigned filled = view->maximum ? static_cast<unsigned>(uint64_t{shown} * kBarWidth / view->maximum) : 0;
    unsigned percent = view->maximum ? static_cast<unsigned>(uint64_t{shown} * 100 / view->maximum) : 0;
    char bar[kBarWidth + 1];
    for (unsigned i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '-';
    bar[kBarWidth] = '\0';
    // Title, bar and percentage on one line of the terminal.
    int titleRoom = columns - static_cast<int>(kBarWidth) - 9;
    formatText(line, size, "%.*s [%s] %3u%%", titleRoom, view->title, bar, percent);
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

ProgressView* TerminalProgress::topView() {
    ProgressView* top = nullptr;
    for (ProgressView& view : views_)
        if (view.inUse && (!top || view.order > top->order)) top = &view;
    return top;
}

void TerminalProgress::drawStatus(ProgressView* view, uint32_t now) {
    char line[kLineSize];
    composeStatusLine(view, screen_.console().columns(ConsoleStream::Output, 40), line, sizeof line);
    std::fputs("\r", stdout);
    std::fputs(line, stdout);
    std::fputs("\x1b[K", stdout);
    std::fflush(stdout);
    screen_.setStatusLineShown(true);
    drawnView_ = view;
    view->dirty = false;
    lastDrawMs_ = now;
}

void TerminalProgress::redrawIfDue(ProgressView* view, bool force) {
    if (!screen_.outputIsTerminal() || screen_.modalActive() || !view->shown || view != topView()) return;
    if (!view->dirty && screen_.statusLineShown() && drawnView_ == view) return;
    uint32_t now = clockMillis();
    if (!force && now - lastDrawMs_ < kRedrawIntervalMs) return;
    drawStatus(view, now);
}

void TerminalProgress::writeTitleLine(const ProgressView* view) {
    char line[kViewTitleSize + 2];
    formatText(line, sizeof line, "%s\n", view->title);
    screen_.writeOut(line);
}

// Ctrl+C, Esc or q: the Cancel button of the view in front, unless a
// prompt or box has the keyboard.
bool TerminalProgress::userCancelled(ProgressView* view) {
    if (screen_.modalActive() || !view->shown || view != topView()) return false;
    if (screen_.console().takeInterrupt()) return true;
    if (!screen_.inputIsTerminal()) return false;
    uint32_t now = clockMillis();
    if (now - lastKeyCheckMs_ < kKeyCheckIntervalMs) return false;
    lastKeyCheckMs_ = now;
    return screen_.console().cancelKeyTyped();
}

ProgressView* TerminalProgress::open(ProgressKind kind, const char* title) {
    screen_.console().catchInterrupts(InterruptCatching::WhileHeard);
    char shownTitle[kViewTitleSize];
    escapeControls(shownTitle, sizeof shownTitle, title ? title : windowTitle(kind));

    std::lock_guard<std::mutex> guard(screen_.lock());
    ProgressView* view = &spare_;
    for (ProgressView& slot : views_)
        if (!slot.inUse) {
            view = &slot;
            break;
        }
    *view = ProgressView{};
    view->inUse = true;
    view->shown = view != &spare_;
    view->order = nextOrder_++;
    copyText(view->title, sizeof view->title, shownTitle);
    view->maximum = 100;
    view->dirty = true;
    if (!view->shown) return view;

    screen_.addLiveWindow();
    if (kind == ProgressKind::Upload) screen_.writeTextBlock(kUploadNotice);
    if (screen_.outputIsTerminal()) {
        screen_.endStatusLine();  // the view behind keeps its last state above
        redrawIfDue(view, true);
    } else {
        writeTitleLine(view);
    }
    return view;
}

void TerminalProgress::setRange(ProgressView* view, unsigned maximum) {
    std::lock_guard<std::mutex> guard(screen_.lock());
    if (view->maximum == maximum) return;
    view->maximum = maximum;
    view->dirty = true;
    redrawIfDue(view, false);
}

void TerminalProgress::setPosition(ProgressView* view, unsigned position) {
    std::lock_guard<std::mutex> guard(screen_.lock());
    if (view->position == position) return;
    view->position = position;
    view->dirty = true;
    redrawIfDue(view, false);
}

void TerminalProgress::setTitle(ProgressView* view, const char* title) {
    char shownTitle[kViewTitleSize];
    escapeControls(shownTitle, sizeof shownTitle, title);
    std::lock_guard<std::mutex> guard(screen_.lock());
    if (std::strcmp(view->title, shownTitle) == 0) return;
    copyText(view->title, sizeof view->title, shownTitle);
    view->dirty = true;
    if (!view->shown) return;
    if (screen_.outputIsTerminal())
        redrawIfDue(view, false);
    else
        writeTitleLine(view);
}

void TerminalProgress::setText(ProgressView* view, const char* text) {
    std::lock_guard<std::mutex> guard(screen_.lock());
    if (view->shown) screen_.writeTextBlock(text);
}

void TerminalProgress::setNote(ProgressView* view, const char* note) {
    char line[kLineSize];
    formatText(line, sizeof line, "Note: %s", note);
    std::lock_guard<std::mutex> guard(screen_.lock());
    if (view->shown) screen_.writeTextBlock(line);
}

bool TerminalProgress::poll(ProgressView* view) {
    std::lock_guard<std::mutex> guard(screen_.lock());
    if (!view->cancelled) view->cancelled = userCancelled(view);
    if (!view->cancelled) redrawIfDue(view, false);
    return view->cancelled;
}

void TerminalProgress::close(ProgressView* view) {
    std::lock_guard<std::mutex> guard(screen_.lock());
    if (!view->inUse) return;
    if (view == &spare_) {
        view->inUse = false;
        return;
    }
    if (screen_.outputIsTerminal() && drawnView_ == view && screen_.statusLineShown()) {
        // Its last state stays on screen as a record.
        if (view->dirty && !screen_.modalActive()) drawStatus(view, clockMillis());
        screen_.endStatusLine();
    }
    if (drawnView_ == view) drawnView_ = nullptr;
    view->inUse = false;
    screen_.removeLiveWindow();
}
