// The connecting window shown modally for the recovery search: the search
// runs on its own thread, and timers and commands are acted on here, on the
// thread that opened the window.
#include "platform/platform_thread.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"
#include "ui/terminal/terminal_console.h"
#include "ui/terminal/terminal_progress.h"

namespace {
const unsigned kModalSliceMs = 10;

struct SearchStart {
    SearchBody body;
    ProgressWindow* window;
};

int runSearch(void* raw) {
    SearchStart* start = static_cast<SearchStart*>(raw);
    return start->body(start->window);
}

bool modalEnded(ProgressWindow* window) {
    std::lock_guard<std::mutex> guard(consoleLock());
    return window->modalEnded;
}
}  // namespace

int showSearchWindow(SearchBody searchBody) {
    ProgressWindow* window = openProgressWindow(IDD_CONNECTING);
    {
        std::lock_guard<std::mutex> guard(consoleLock());
        window->modal = true;
    }
    SearchStart start{searchBody, window};
    OrbThread* search = threadStart(runSearch, &start);
    // Without a thread the search still runs, only the bar stands still.
    if (!search) runSearch(&start);
    // A Cancel (the search's or the user's) ends the process in here.
    while (!modalEnded(window)) {
        pumpWindow(window);
        if (modalEnded(window)) break;
        waitForWindowCommand(window, kModalSliceMs);
    }
    // The search thread is done with the window once its send returned.
    if (search) threadRelease(search);
    destroyProgressWindow(window);
    return 1;
}
