#include "core/run.h"

Run::Run(const ProgramProfile& profile, FrontEnd& frontEnd, const RunOptions& options)
    : profile_(profile), options_(options), frontEnd_(frontEnd) {}

Run::Run(const ProgramProfile& profile, FrontEnd& frontEnd, const RunRequest& request)
    : profile_(profile), options_(request.options), request_(&request), frontEnd_(frontEnd) {}

void Run::stop(RunOutcome outcome, const char* message) {
    if (!stopping_.exchange(true)) {
        outcome_.store(outcome);
        frontEnd_.end(*this, outcome, message ? message : outcomeMessage(outcome));
        exitCode_.store(exitCodeOf(outcome, frontEnd_.exitStyle()));
    }
    throw RunStopped{outcome_.load()};
}

int runUntilStopped(Run& run, const std::function<void(Run&)>& body) {
    try {
        body(run);
        run.stop(RunOutcome::Declined);
    } catch (const RunStopped&) {
    }
    return run.exitCode();
}
