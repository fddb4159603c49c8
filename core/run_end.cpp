#include "core/run_end.h"

#include <atomic>

#include "platform/platform_clock.h"
#include "platform/platform_process.h"
#include "ui/wizard.h"

namespace {
std::atomic<bool> ending{false};
std::atomic<RunOutcome> outcomeSeen{RunOutcome::Success};
std::atomic<ExitCodeRule> exitCodeRule{nullptr};
std::atomic<RunEndListener> endListener{nullptr};
std::atomic<RunEndHandler> endHandler{nullptr};
}  // namespace

void endRun(RunOutcome outcome, const char* message) {
    RunEndHandler handler = endHandler.load();
    // The first thread to end the run does it; any other waits for the end.
    if (!handler && ending.exchange(true)) {
        for (;;) sleepMillis(1000);
    }
    outcomeSeen.store(outcome);
    ending.store(true);
    if (!message) message = outcomeMessage(outcome);
    if (message) ShowErrorBox(message);
    if (RunEndListener listener = endListener.load()) listener(outcome, message);
    if (handler) {
        handler(outcome);
        // A handler that returns would let the run go on: end regardless.
    }
    ExitCodeRule rule = exitCodeRule.load();
    endProcess(rule ? rule(outcome) : 0);
}

bool runHasEnded() { return ending.load(); }

RunOutcome recordedOutcome() { return outcomeSeen.load(); }

void setExitCodeRule(ExitCodeRule rule) { exitCodeRule.store(rule); }

void setRunEndListener(RunEndListener listener) { endListener.store(listener); }

void setRunEndHandler(RunEndHandler handler) {
    endHandler.store(handler);
    ending.store(false);
}
