#include "tests/support/scripted_front_end.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "platform/platform_thread.h"
#include "ui/front_end.h"
#include "ui/progress_cancel.h"

struct ProgressWindow {
    int templateId;
    int command;
};

namespace {
std::mutex lock;
ScriptedFrontEnd script;
std::vector<std::string> events;
std::map<int, int> positions;

void record(const std::string& event) {
    std::lock_guard<std::mutex> guard(lock);
    events.push_back(event);
}
}  // namespace

ScriptedFrontEnd& scriptedFrontEnd() { return script; }

std::vector<std::string> frontEndEvents() {
    std::lock_guard<std::mutex> guard(lock);
    return events;
}

int lastProgressPosition(int templateId) {
    std::lock_guard<std::mutex> guard(lock);
    auto found = positions.find(templateId);
    return found == positions.end() ? -1 : found->second;
}

void resetScriptedFrontEnd() {
    std::lock_guard<std::mutex> guard(lock);
    script = ScriptedFrontEnd{};
    events.clear();
    positions.clear();
}

void initCommonControls(unsigned) {}
bool registerProgramWindowClass(void*) { return true; }

int ShowErrorBox(const char* text, const char*) {
    // Also on stderr, so that a death test can see what the box said.
    std::fprintf(stderr, "error box: %s\n", text);
    record(std::string("error ") + text);
    return kCommandOk;
}

void showMessageBox(const char* text, const char* caption) {
    record(std::string("message ") + caption + "|" + text);
}

int showDialog(int templateId) {
    record("dialog " + std::to_string(templateId));
    return script.onDialog ? script.onDialog(templateId) : 0;
}

ProgressWindow* openProgressWindow(int templateId) {
    record("open " + std::to_string(templateId));
    return new ProgressWindow{templateId, 0};
}

void setProgressRange(ProgressWindow* window, unsigned maximum) {
    record("range " + std::to_string(window->templateId) + " " + std::to_string(maximum));
}

void setProgressPosition(ProgressWindow* window, unsigned position) {
    std::lock_guard<std::mutex> guard(lock);
    positions[window->templateId] = static_cast<int>(position);
}

void setProgressTitle(ProgressWindow*, const char* title) { record(std::string("title ") + title); }

void setProgressText(ProgressWindow*, int controlId, const char* text) {
    record("text " + std::to_string(controlId) + " " + text);
}

void pumpProgressMessage(ProgressWindow* window) {
    if (script.onPump) script.onPump(window, window->templateId);
}

void pumpProgressMessages(ProgressWindow* window) { pumpProgressMessage(window); }

void destroyProgressWindow(ProgressWindow* window) {
    record("destroy " + std::to_string(window->templateId));
    delete window;
}

namespace {
struct Search {
    SearchBody body;
    ProgressWindow* window;
};
int runSearch(void* raw) {
    Search* search = static_cast<Search*>(raw);
    return search->body(search->window);
}
}  // namespace

// The search thread's command is acted on once the thread has ended, as the
// modal window would after the synchronous send returned.
int showSearchWindow(SearchBody searchBody) {
    ProgressWindow* window = openProgressWindow(105);
    Search search{searchBody, window};
    OrbThread* thread = threadStart(runSearch, &search);
    threadRelease(thread);
    if (window->command == kCommandOk) {
        destroyProgressWindow(window);
        return 1;
    }
    cancelProgressWindow(window, 105);
}

void startProgressTimer(ProgressWindow* window, unsigned timerId, unsigned, ProgressTimerCallback) {
    record("timer " + std::to_string(window->templateId) + " " + std::to_string(timerId));
}

void stopProgressTimer(ProgressWindow* window, unsigned timerId) {
    record("kill timer " + std::to_string(window->templateId) + " " + std::to_string(timerId));
}

void sendProgressCommand(ProgressWindow* window, int command) {
    record("command " + std::to_string(command));
    window->command = command;
}
