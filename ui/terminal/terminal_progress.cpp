// Progress windows as status lines. On a terminal the topmost window is
// redrawn in place, at most every kRedrawIntervalMs; otherwise a window
// writes one plain line per title, so a log keeps one line per title. An
// update that draws nothing costs no system call.
#include "ui/terminal/terminal_progress.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include "core/text.h"
#include "ui/dialog_logic.h"
#include "ui/progress_cancel.h"
#include "ui/resource_ids.h"
#include "ui/terminal/terminal_console.h"
#include "ui/terminal/terminal_input.h"
#include "ui/terminal/terminal_interrupt.h"
#include "ui/terminal/terminal_mode.h"

namespace {
const int kWindowSlots = 16;
const uint64_t kRedrawIntervalMs = 50;
const uint64_t kKeyCheckIntervalMs = 20;
const unsigned kBarWidth = 20;
const size_t kLineSize = 512;

const char kUploadNotice[] = "Please do not unplug the power of your ORB until the Status Light stops blinking";

ProgressWindow windows[kWindowSlots];
// Used when every slot is taken: it works, but is never drawn.
ProgressWindow spare;
uint64_t nextOrder = 1;
uint64_t lastDrawMs = 0;
uint64_t lastKeyCheckMs = 0;
const ProgressWindow* drawnWindow = nullptr;  // what the status line shows
std::condition_variable commandChanged;

// Everything below with consoleLock held.

ProgressWindow* topWindow() {
    ProgressWindow* top = nullptr;
    for (ProgressWindow& window : windows)
        if (window.inUse && window.shown && (!top || window.order > top->order)) top = &window;
    return top;
}

unsigned terminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 40) return size.ws_col;
    return 80;
}

void composeStatusLine(const ProgressWindow* window, char* line, size_t size) {
    unsigned shown = window->position < window->maximum ? window->position : window->maximum;
    unsigned filled = window->maximum ? static_cast<unsigned>(uint64_t{shown} * kBarWidth / window->maximum) : 0;
    unsigned percent = window->maximum ? static_cast<unsigned>(uint64_t{shown} * 100 / window->maximum) : 0;
    char bar[kBarWidth + 1];
    for (unsigned i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '-';
    bar[kBarWidth] = '\0';
    // Title, bar and percentage on one line of the terminal.
    int titleRoom = static_cast<int>(terminalColumns()) - static_cast<int>(kBarWidth) - 9;
    formatText(line, size, "%.*s [%s] %3u%%", titleRoom, window->title, bar, percent);
}

void drawStatus(ProgressWindow* window, uint64_t now) {
    char line[kLineSize];
    composeStatusLine(window, line, sizeof line);
    std::fputs("\r", stdout);
    std::fputs(line, stdout);
    std::fputs("\x1b[K", stdout);
    std::fflush(stdout);
    setStatusLineShown(true);
    drawnWindow = window;
    window->dirty = false;
    lastDrawMs = now;
}

void redrawIfDue(ProgressWindow* window, bool force) {
    if (!outputIsTerminal() || modalActive() || !window->shown || window != topWindow()) return;
    if (!window->dirty && statusLineShown() && drawnWindow == window) return;
    uint64_t now = screenMillis();
    if (!force && now - lastDrawMs < kRedrawIntervalMs) return;
    drawStatus(window, now);
}

void writeTitleLine(const ProgressWindow* window) {
    char line[kWindowTitleSize + 2];
    formatText(line, sizeof line, "%s\n", window->title);
    writeOut(line);
}

// \r\n in the window's texts becomes a plain line break.
void writeTextBlock(const char* text) {
    char block[2048];
    size_t length = 0;
    for (const char* c = text; *c && length + 2 < sizeof block; ++c)
        if (*c != '\r') block[length++] = *c;
    block[length++] = '\n';
    block[length] = '\0';
    writeOut(block);
}

// Ctrl+C, Esc or q: the Cancel button of the window in front, unless a
// prompt or box has the keyboard.
bool userCancelled(ProgressWindow* window) {
    if (modalActive() || !window->shown || window != topWindow()) return false;
    if (takeInterrupt()) return true;
    if (!inputIsTerminal()) return false;
    uint64_t now = screenMillis();
    if (now - lastKeyCheckMs < kKeyCheckIntervalMs) return false;
    lastKeyCheckMs = now;
    return cancelKeyTyped();
}

void initialTitle(int templateId, char* title, size_t size) {
    if (templateId == IDD_CONNECTING)
        connectingWindowTitle(title, size);
    else if (templateId == IDD_UPLOAD)
        copyText(title, size, "Uploading Firmware To ORB");
    else if (templateId == IDD_WAITING)
        copyText(title, size, "Waiting For Firmware Download Request From ORB");
    else
        title[0] = '\0';
}

void handleCommand(ProgressWindow* window, int command) {
    if (command == kCommandCancel) cancelProgressWindow(window, window->templateId);
    if (command == kCommandOk) {
        std::lock_guard<std::mutex> guard(consoleLock());
        if (window->modal) window->modalEnded = true;
    }
    // No other command is handled.
}

void runDueTimers(ProgressWindow* window) {
    for (int i = 0; i < kWindowTimers; ++i) {
        ProgressTimerCallback callback = nullptr;
        {
            std::lock_guard<std::mutex> guard(consoleLock());
            WindowTimer& timer = window->timers[i];
            uint64_t now = screenMillis();
            if (timer.active && now >= timer.dueMs) {
                callback = timer.callback;
                timer.dueMs = now + timer.periodMs;
            }
        }
        // Without the lock: the callback updates the window.
        if (callback) callback(window);
    }
}
}  // namespace

uint64_t screenMillis() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

ProgressWindow* openProgressWindow(int templateId) {
    installInterruptHandler();
    char title[kWindowTitleSize];
    initialTitle(templateId, title, sizeof title);

    std::lock_guard<std::mutex> guard(consoleLock());
    ProgressWindow* window = &spare;
    for (ProgressWindow& slot : windows)
        if (!slot.inUse) {
            window = &slot;
            break;
        }
    *window = ProgressWindow{};
    window->inUse = true;
    window->shown = window != &spare;
    window->templateId = templateId;
    window->owner = std::this_thread::get_id();
    window->order = nextOrder++;
    copyText(window->title, sizeof window->title, title);
    window->maximum = 100;
    window->dirty = true;
    if (!window->shown) return window;

    addInterruptListener();
    addLiveWindow();
    if (templateId == IDD_UPLOAD) writeTextBlock(kUploadNotice);
    if (outputIsTerminal()) {
        endStatusLine();  // the window behind keeps its last state above
        redrawIfDue(window, true);
    } else {
        writeTitleLine(window);
    }
    return window;
}

void setProgressRange(ProgressWindow* window, unsigned maximum) {
    if (!window) return;
    std::lock_guard<std::mutex> guard(consoleLock());
    if (window->maximum == maximum) return;
    window->maximum = maximum;
    window->dirty = true;
    redrawIfDue(window, false);
}

void setProgressPosition(ProgressWindow* window, unsigned position) {
    if (!window) return;
    std::lock_guard<std::mutex> guard(consoleLock());
    if (window->position == position) return;
    window->position = position;
    window->dirty = true;
    redrawIfDue(window, false);
}

void setProgressTitle(ProgressWindow* window, const char* title) {
    if (!window || !title) return;
    std::lock_guard<std::mutex> guard(consoleLock());
    if (std::strncmp(window->title, title, sizeof window->title - 1) == 0) return;
    copyText(window->title, sizeof window->title, title);
    window->dirty = true;
    if (!window->shown) return;
    if (outputIsTerminal())
        redrawIfDue(window, false);
    else
        writeTitleLine(window);
}

void setProgressText(ProgressWindow* window, int, const char* text) {
    if (!window || !text) return;
    std::lock_guard<std::mutex> guard(consoleLock());
    if (window->shown) writeTextBlock(text);
}

void pumpWindow(ProgressWindow* window) {
    if (!window) return;
    int command;
    {
        std::lock_guard<std::mutex> guard(consoleLock());
        command = window->postedCommand;
    }
    if (command != 0) {
        handleCommand(window, command);
        std::lock_guard<std::mutex> guard(consoleLock());
        window->postedCommand = 0;
        commandChanged.notify_all();
    }
    runDueTimers(window);
    bool cancel;
    {
        std::lock_guard<std::mutex> guard(consoleLock());
        cancel = userCancelled(window);
        if (!cancel) redrawIfDue(window, false);
    }
    if (cancel) cancelProgressWindow(window, window->templateId);
}

void pumpProgressMessage(ProgressWindow* window) { pumpWindow(window); }

void pumpProgressMessages(ProgressWindow* window) { pumpWindow(window); }

void waitForWindowCommand(ProgressWindow* window, unsigned timeoutMs) {
    std::unique_lock<std::mutex> guard(consoleLock());
    commandChanged.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                            [window] { return window->postedCommand != 0; });
}

void destroyProgressWindow(ProgressWindow* window) {
    if (!window || window == &spare) return;
    std::lock_guard<std::mutex> guard(consoleLock());
    if (!window->inUse) return;
    if (outputIsTerminal() && drawnWindow == window && statusLineShown()) {
        // Its last state stays on screen as a record.
        if (window->dirty && !modalActive()) drawStatus(window, screenMillis());
        endStatusLine();
    }
    if (drawnWindow == window) drawnWindow = nullptr;
    window->inUse = false;
    window->shown = false;
    window->postedCommand = 0;
    commandChanged.notify_all();
    removeLiveWindow();
    removeInterruptListener();
}

void startProgressTimer(ProgressWindow* window, unsigned timerId, unsigned periodMs, ProgressTimerCallback callback) {
    if (!window || !callback) return;
    std::lock_guard<std::mutex> guard(consoleLock());
    WindowTimer* slot = nullptr;
    for (WindowTimer& timer : window->timers) {
        if (timer.active && timer.id == timerId) {
            slot = &timer;
            break;
        }
        if (!timer.active && !slot) slot = &timer;
    }
    if (!slot) return;
    unsigned period = periodMs ? periodMs : 1;
    *slot = WindowTimer{true, timerId, period, screenMillis() + period, callback};
    commandChanged.notify_all();
}

void stopProgressTimer(ProgressWindow* window, unsigned timerId) {
    if (!window) return;
    std::lock_guard<std::mutex> guard(consoleLock());
    for (WindowTimer& timer : window->timers)
        if (timer.active && timer.id == timerId) timer.active = false;
}

void sendProgressCommand(ProgressWindow* window, int command) {
    if (!window) return;
    if (window->owner == std::this_thread::get_id()) {
        handleCommand(window, command);
        return;
    }
    // Synchronous, like a sent message: posted to the owner's pump, and
    // back only once it was handled (or the window is gone).
    std::unique_lock<std::mutex> guard(consoleLock());
    commandChanged.wait(guard, [window] { return window->postedCommand == 0 || !window->inUse; });
    if (!window->inUse) return;
    window->postedCommand = command;
    commandChanged.notify_all();
    commandChanged.wait(guard, [window] { return window->postedCommand == 0 || !window->inUse; });
}
