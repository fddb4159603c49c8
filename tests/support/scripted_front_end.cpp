#include "tests/support/scripted_front_end.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "core/program_profile.h"
#include "core/run_end.h"

struct ProgressView {
    int templateId;
    ProgressKind kind;
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

int templateOf(Dialog dialog) {
    switch (dialog) {
        case Dialog::Welcome: return 141;
        case Dialog::Recovery: return 142;
        case Dialog::Warning: return 139;
        case Dialog::Address: return 101;
        case Dialog::PhoneAddress: return gProgram && isOrbstage() ? 305 : 168;
        case Dialog::Password: return 104;
        case Dialog::Confirm: return 103;
        case Dialog::StagedConfirm: return 304;
        case Dialog::Success: return 111;
        case Dialog::SuccessVariant: return 113;
    }
    return 0;
}

int templateOf(ProgressKind kind) {
    switch (kind) {
        case ProgressKind::Connecting: return 105;
        case ProgressKind::Upload: return 110;
        case ProgressKind::Waiting: return 114;
    }
    return 0;
}

int showDialogScripted(Dialog dialog) {
    record("dialog " + std::to_string(templateOf(dialog)));
    return script.onDialog ? script.onDialog(dialog) : 0;
}

void showErrorBoxScripted(const char* text) {
    // Also on stderr, so that a failing test shows what the box said.
    std::fprintf(stderr, "error box: %s\n", text);
    record(std::string("error ") + text);
}

void showMessageBoxScripted(const char* text, const char* caption) {
    record(std::string("message ") + caption + "|" + text);
}

ProgressView* openScripted(ProgressKind kind, const char* title) {
    int id = templateOf(kind);
    record("open " + std::to_string(id));
    if (title) record(std::string("title ") + title);
    return new ProgressView{id, kind};
}

void setRangeScripted(ProgressView* view, unsigned maximum) {
    record("range " + std::to_string(view->templateId) + " " + std::to_string(maximum));
}

void setPositionScripted(ProgressView* view, unsigned position) {
    std::lock_guard<std::mutex> guard(lock);
    positions[view->templateId] = static_cast<int>(position);
}

void setTitleScripted(ProgressView*, const char* title) { record(std::string("title ") + title); }
void setTextScripted(ProgressView*, const char* text) { record(std::string("text ") + text); }
void setNoteScripted(ProgressView*, const char* note) { record(std::string("note ") + note); }

bool pollScripted(ProgressView* view) { return script.onPoll && script.onPoll(view->kind); }

void closeScripted(ProgressView* view) {
    record("destroy " + std::to_string(view->templateId));
    delete view;
}

const WizardFrontEnd kScriptedWizard = {nullptr, showDialogScripted, showErrorBoxScripted, showMessageBoxScripted};
const ProgressFrontEnd kScriptedProgress = {openScripted,    setRangeScripted, setPositionScripted, setTitleScripted,
                                            setTextScripted, setNoteScripted,  pollScripted,        closeScripted};

void throwRunEnded(RunOutcome outcome) {
    record(std::string("end ") + outcomeName(outcome));
    throw RunEnded{outcome};
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

std::optional<RunOutcome> runUntilEnd(const std::function<void()>& body) {
    try {
        body();
    } catch (const RunEnded& ended) {
        return ended.outcome;
    }
    return std::nullopt;
}

void resetScriptedFrontEnd() {
    useWizardFrontEnd(&kScriptedWizard);
    useProgressFrontEnd(&kScriptedProgress);
    setRunEndHandler(throwRunEnded);
    std::lock_guard<std::mutex> guard(lock);
    script = ScriptedFrontEnd{};
    events.clear();
    positions.clear();
}
