// One run of a program: its record, its program's profile, its options,
// its HTTP time-outs and the front end it talks to. The end of a run is
// Run::stop, from whichever thread meets it: the front end shows the end
// once, and RunStopped carries the outcome up to the top of that thread.
#pragma once

#include <atomic>
#include <functional>

#include "core/front_end.h"
#include "core/program_profile.h"
#include "core/run_context.h"
#include "core/run_options.h"
#include "core/run_request.h"
#include "net/http/http_exchange.h"

// Thrown by Run::stop, caught at the top of each thread of the run.
struct RunStopped {
    RunOutcome outcome;
};

class Run {
public:
    Run(const ProgramProfile& profile, FrontEnd& frontEnd, const RunOptions& options = {});
    // A run asked for from a command line: its options, and answers it takes
    // before asking the front end.
    Run(const ProgramProfile& profile, FrontEnd& frontEnd, const RunRequest& request);
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    UpgradeContext& context() { return context_; }
    const UpgradeContext& context() const { return context_; }
    const ProgramProfile& profile() const { return profile_; }
    const RunOptions& options() const { return options_; }
    // Null for a run that asks everything (the wizard).
    const RunRequest* request() const { return request_; }
    // Counts the credentials handed to the device; the count before.
    int credentialsGiven() { return credentialsGiven_.fetch_add(1); }
    FrontEnd& frontEnd() const { return frontEnd_; }
    HttpTimeouts& httpTimeouts() { return httpTimeouts_; }
    const HttpTimeouts& httpTimeouts() const { return httpTimeouts_; }

    // The first call records the outcome and has the front end show it (the
    // message, or the outcome's own); every call throws RunStopped.
    [[noreturn]] void stop(RunOutcome outcome, const char* message = nullptr);
    // Whether stop was called, from any thread.
    bool stopping() const { return stopping_.load(); }
    // Valid once stopping.
    RunOutcome outcome() const { return outcome_.load(); }
    int exitCode() const { return exitCode_.load(); }

    // Views through the front end. A run that is being stopped counts as
    // cancelled in every view, so that the other thread's wait ends too.
    View* openView(ViewKind kind) const { return frontEnd_.openView(*this, kind); }
    void step(View* view, const RunStep& step) const { frontEnd_.step(*this, view, step); }
    bool cancelled(View* view) const { return stopping() || frontEnd_.cancelled(*this, view); }
    void closeView(View* view) const { frontEnd_.closeView(*this, view); }

private:
    UpgradeContext context_;
    const ProgramProfile& profile_;
    RunOptions options_;
    const RunRequest* request_ = nullptr;
    FrontEnd& frontEnd_;
    std::atomic<int> credentialsGiven_{0};
    HttpTimeouts httpTimeouts_;
    std::atomic<bool> stopping_{false};
    std::atomic<RunOutcome> outcome_{RunOutcome::Success};
    std::atomic<int> exitCode_{0};
};

// A view open for a scope; closed at its end (or earlier, with close()).
class OpenView {
public:
    OpenView(const Run& run, ViewKind kind) : run_(run), view_(run.openView(kind)) {}
    ~OpenView() { close(); }
    OpenView(const OpenView&) = delete;
    OpenView& operator=(const OpenView&) = delete;
    View* get() const { return view_; }
    void step(const RunStep& step) const { run_.step(view_, step); }
    bool cancelled() const { return run_.cancelled(view_); }
    void close() {
        if (open_) run_.closeView(view_);
        open_ = false;
    }

private:
    const Run& run_;
    View* view_;
    bool open_ = true;
};

// Runs body on this thread until the run stops; the run's exit code. A body
// that returns without stopping the run ends it as declined.
int runUntilStopped(Run& run, const std::function<void(Run&)>& body);
