#include "tests/support/recording_front_end.h"

#include <cstdio>

struct View {
    ViewKind kind;
};

const char* viewName(ViewKind kind) {
    switch (kind) {
        case ViewKind::Connecting: return "connecting";
        case ViewKind::AwaitFetch: return "await-fetch";
        case ViewKind::AwaitNextFetch: return "await-next-fetch";
        case ViewKind::Upload: return "upload";
    }
    return "?";
}

void RecordingFrontEnd::record(const std::string& event) {
    std::lock_guard<std::mutex> guard(lock_);
    events_.push_back(event);
}

bool RecordingFrontEnd::chooseMode(const Run&, RunMode* chosen) {
    record("ask mode");
    if (!mode) {
        *chosen = RunMode::Upgrade;
        return true;
    }
    return mode(chosen);
}

bool RecordingFrontEnd::acceptWarning(const Run&) {
    record("ask warning");
    return warning;
}

bool RecordingFrontEnd::askAddress(const Run&, AddressAnswer* answer) {
    record("ask address");
    return address && address(answer);
}

bool RecordingFrontEnd::askSerial(const Run&, SerialAnswer* answer) {
    record("ask serial");
    return serial && serial(answer);
}

bool RecordingFrontEnd::askCredentials(const Run&, CredentialsAnswer* answer) {
    record("ask credentials");
    return credentials && credentials(answer);
}

bool RecordingFrontEnd::confirmUpgrade(const Run&) {
    record("ask confirmation");
    return confirm;
}

void RecordingFrontEnd::showSuccess(const Run&) { record("success"); }

void RecordingFrontEnd::showMessage(const Run&, const char* text, const char* caption) {
    record(std::string("message ") + caption + "|" + text);
}

View* RecordingFrontEnd::openView(const Run&, ViewKind kind) {
    record(std::string("open ") + viewName(kind));
    return new View{kind};
}

void RecordingFrontEnd::step(const Run&, View* view, const RunStep& r) {
    auto n = [](uint32_t value) { return std::to_string(value); };
    switch (r.kind) {
        case StepKind::Tick:
        case StepKind::WaitTick:
            if (view) {
                std::lock_guard<std::mutex> guard(lock_);
                ++ticks_[static_cast<int>(view->kind)];
                lastTick_[static_cast<int>(view->kind)] = r.done;
            }
            return;
        case StepKind::StatusRead:
            record("status-read " + n(r.address >> 24) + "." + n((r.address >> 16) & 255) + "." +
                   n((r.address >> 8) & 255) + "." + n(r.address & 255));
            return;
        case StepKind::Facts: record("facts"); return;
        case StepKind::Trigger: record("trigger " + std::to_string(r.status) + " " + r.text); return;
        case StepKind::Waiting: record("waiting " + n(r.port) + " " + r.text); return;
        case StepKind::TransferStart: record("transfer-start " + n(r.total)); return;
        case StepKind::Transfer: record("transfer " + n(r.done) + "/" + n(r.total)); return;
        case StepKind::TransferDone: record("transfer-done " + n(r.done) + "/" + n(r.total)); return;
        case StepKind::RestartWait:
            if (r.done == 0 || r.done >= r.total) record("restart-wait " + n(r.done) + "/" + n(r.total));
            return;
        case StepKind::RestartFollow: return;
        case StepKind::VersionRead: record(std::string("version ") + r.text); return;
    }
}

bool RecordingFrontEnd::cancelled(const Run&, View* view) { return cancel && view && cancel(view->kind); }

void RecordingFrontEnd::closeView(const Run&, View* view) {
    record(std::string("close ") + viewName(view->kind));
    delete view;
}

void RecordingFrontEnd::finding(const Run&, Finding finding, const char* text) {
    static const char* const kWords[] = {"ok", "warning", "problem"};
    record(std::string("finding ") + kWords[static_cast<int>(finding)] + "|" + text);
}

void RecordingFrontEnd::end(const Run&, RunOutcome outcome, const char* message) {
    // Also on stderr, so that a failing test shows how the run ended.
    std::fprintf(stderr, "run ended: %s %s\n", outcomeName(outcome), message ? message : "");
    record(std::string("end ") + outcomeName(outcome) + (message ? std::string("|") + message : ""));
}

std::vector<std::string> RecordingFrontEnd::events() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

int RecordingFrontEnd::count(const std::string& prefix) const {
    int found = 0;
    for (const std::string& event : events()) found += event.compare(0, prefix.size(), prefix) == 0;
    return found;
}

bool RecordingFrontEnd::inOrder(const std::vector<std::string>& prefixes) const {
    size_t next = 0;
    for (const std::string& event : events())
        if (next < prefixes.size() && event.compare(0, prefixes[next].size(), prefixes[next]) == 0) ++next;
    return next == prefixes.size();
}

std::string RecordingFrontEnd::all() const {
    std::string text;
    for (const std::string& event : events()) text += "  " + event.substr(0, 100) + "\n";
    return text;
}

int RecordingFrontEnd::ticks(ViewKind kind) const {
    std::lock_guard<std::mutex> guard(lock_);
    return ticks_[static_cast<int>(kind)];
}

long RecordingFrontEnd::lastTick(ViewKind kind) const {
    std::lock_guard<std::mutex> guard(lock_);
    return lastTick_[static_cast<int>(kind)];
}

std::optional<RunOutcome> TestRun::until(const std::function<void(Run&)>& body) {
    try {
        body(run);
    } catch (const RunStopped& stopped) {
        return stopped.outcome;
    }
    return std::nullopt;
}
