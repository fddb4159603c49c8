// A front end for tests: the run's questions answered by a script, and
// every view, step, question and the end recorded as a line, in order:
// "open connecting", "close upload", "status-read 127.0.0.1", "facts",
// "trigger 200 /orb1a2b.bi1", "waiting 69 /orb1a2b.bi1",
// "transfer-start 2000", "transfer 512/2000", "transfer-done 2000/2000",
// "restart-wait 0/1562", "version 7.5.3", "ask credentials",
// "success", "message Error|text", "finding problem|text",
// "end user-abort|Upgrade Failed: User Abort". Ticks are counted, not
// recorded. Safe to use from several threads.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/front_end.h"
#include "core/run.h"

class RecordingFrontEnd : public FrontEnd {
public:
    // Unset: the question is declined (the mode: upgrade).
    std::function<bool(RunMode*)> mode;
    std::function<bool(AddressAnswer*)> address;
    std::function<bool(SerialAnswer*)> serial;
    std::function<bool(CredentialsAnswer*)> credentials;
    bool warning = true;
    bool confirm = true;
    // Called on every "cancelled?" of a view; true presses its Cancel.
    std::function<bool(ViewKind)> cancel;

    bool chooseMode(const Run&, RunMode* mode) override;
    bool acceptWarning(const Run&) override;
    bool askAddress(const Run&, AddressAnswer* answer) override;
    bool askSerial(const Run&, SerialAnswer* answer) override;
    bool askCredentials(const Run&, CredentialsAnswer* answer) override;
    bool confirmUpgrade(const Run&) override;
    void showSuccess(const Run&) override;
    void showMessage(const Run&, const char* text, const char* caption) override;
    View* openView(const Run&, ViewKind kind) override;
    void step(const Run&, View* view, const RunStep& step) override;
    bool cancelled(const Run&, View* view) override;
    void closeView(const Run&, View* view) override;
    void finding(const Run&, Finding finding, const char* text) override;
    void end(const Run&, RunOutcome outcome, const char* message) override;

    std::vector<std::string> events() const;
    // Events that start with prefix.
    int count(const std::string& prefix) const;
    // Whether events starting with these prefixes occur in this order.
    bool inOrder(const std::vector<std::string>& prefixes) const;
    std::string all() const;
    // Ticks of views of this kind, and the last tick's done.
    int ticks(ViewKind kind) const;
    long lastTick(ViewKind kind) const;

private:
    void record(const std::string& event);
    mutable std::mutex lock_;
    std::vector<std::string> events_;
    int ticks_[4] = {};
    long lastTick_[4] = {-1, -1, -1, -1};
};

const char* viewName(ViewKind kind);

// A run of the program with the recording front end.
struct TestRun {
    explicit TestRun(const ProgramProfile& profile, const RunOptions& options = {}) : run(profile, frontEnd, options) {}
    // Runs body until the run stops: its outcome, or nothing when body
    // returned without stopping the run.
    std::optional<RunOutcome> until(const std::function<void(Run&)>& body);

    RecordingFrontEnd frontEnd;
    Run run;
};
