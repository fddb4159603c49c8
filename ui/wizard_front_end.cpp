#include "ui/wizard_front_end.h"

#include <new>

#include "base/text.h"
#include "core/after_upload.h"
#include "core/run.h"
#include "ui/dialog_texts.h"
#include "ui/window_texts.h"

struct View {
    ProgressView* window;
    uint32_t barUnit;  // blocks per step of the upload bar
    bool restarting;   // the upload window now follows the restart
    int noted;         // the trigger's answer last noted
};

namespace {
// The connecting bar moves one step per tick and starts again after 100:
// it shows activity, not progress. The waiting bar sweeps once a second.
const unsigned kConnectingMaximum = 100;
const unsigned kWaitingSweepMs = 1000;
}  // namespace

// Once the person has left, no dialog shows: each is declined.
int WizardFrontEnd::show(const Run& run, Dialog dialog, DialogAnswers* answers) {
    return windows_.closed() ? 0 : windows_.showDialog(run, dialog, answers);
}

bool WizardFrontEnd::chooseMode(const Run& run, RunMode* mode) {
    DialogAnswers answers;
    if (show(run, Dialog::Welcome, &answers) == 0) return false;
    *mode = answers.mode;
    return true;
}

bool WizardFrontEnd::acceptWarning(const Run& run) {
    DialogAnswers answers;
    return show(run, Dialog::Warning, &answers) != 0;
}

bool WizardFrontEnd::askAddress(const Run& run, AddressAnswer* answer) {
    DialogAnswers answers;
    Dialog dialog = run.context().isPhone ? Dialog::PhoneAddress : Dialog::Address;
    if (show(run, dialog, &answers) == 0) return false;
    copyText(answer->typed, sizeof answer->typed, answers.typed);
    answer->localIndex = answers.localIndex;
    return true;
}

bool WizardFrontEnd::askSerial(const Run& run, SerialAnswer* answer) {
    DialogAnswers answers;
    if (show(run, Dialog::Recovery, &answers) == 0) return false;
    copyText(answer->serial, sizeof answer->serial, answers.typed);
    answer->localIndex = answers.localIndex;
    return true;
}

bool WizardFrontEnd::askCredentials(const Run& run, CredentialsAnswer* answer) {
    DialogAnswers answers;
    if (show(run, Dialog::Password, &answers) == 0) return false;
    copyText(answer->userName, sizeof answer->userName, answers.userName);
    copyText(answer->password, sizeof answer->password, answers.password);
    return true;
}

bool WizardFrontEnd::confirmUpgrade(const Run& run) {
    DialogAnswers answers;
    bool staged = isOrbstage(run.profile()) && run.context().stage.load() == Stage::Transition;
    return show(run, staged ? Dialog::StagedConfirm : Dialog::Confirm, &answers) != 0;
}

void WizardFrontEnd::showSuccess(const Run& run) {
    DialogAnswers answers;
    bool variant = successVariantFor(run.profile(), run.context().modelName);
    show(run, variant ? Dialog::SuccessVariant : Dialog::Success, &answers);
}

void WizardFrontEnd::showMessage(const Run&, const char* text, const char* caption) {
    if (!windows_.closed()) windows_.showMessageBox(text, caption);
}

View* WizardFrontEnd::openView(const Run& run, ViewKind kind) {
    // No window for a person who left: the wait counts as cancelled.
    if (windows_.closed()) return nullptr;
    ProgressView* window = nullptr;
    switch (kind) {
        case ViewKind::Connecting: {
            char title[64];
            connectingTitle(run, title, sizeof title);
            window = windows_.open(ProgressKind::Connecting, title);
            if (window) windows_.setRange(window, kConnectingMaximum);
            break;
        }
        case ViewKind::AwaitFetch:
        case ViewKind::AwaitNextFetch:
            window = windows_.open(ProgressKind::Waiting, nullptr);
            if (!window) break;
            windows_.setRange(window, kWaitingSweepMs);
            windows_.setPosition(window, 0);
            if (kind == ViewKind::AwaitFetch) windows_.setText(window, kWaitingText);
            break;
        case ViewKind::Upload: window = windows_.open(ProgressKind::Upload, nullptr); break;
    }
    if (!window) return nullptr;
    View* view = new (std::nothrow) View{window, 1, false, 0};
    if (!view) windows_.close(window);
    return view;
}

void WizardFrontEnd::step(const Run& run, View* view, const RunStep& r) {
    if (!view) return;
    ProgressView* window = view->window;
    switch (r.kind) {
        case StepKind::Tick: windows_.setPosition(window, r.done % (kConnectingMaximum + 1)); break;
        case StepKind::WaitTick:
            windows_.setPosition(window, r.done % kWaitingSweepMs);
            if (r.status != view->noted) {
                view->noted = r.status;
                if (const char* note = triggerAnswerNote(r.status)) windows_.setNote(window, note);
            }
            break;
        case StepKind::TransferStart:
            view->barUnit = uploadBarUnit(r.blockCount);
            windows_.setRange(window, r.blockCount / view->barUnit);
            break;
        case StepKind::Transfer:
        case StepKind::TransferDone: {
            windows_.setPosition(window, r.block / view->barUnit);
            char title[192];
            uploadTitle(run, r.done, r.total, title, sizeof title);
            windows_.setTitle(window, title);
            break;
        }
        case StepKind::RestartWait:
            if (!view->restarting) {
                view->restarting = true;
                windows_.setRange(window, r.total);
                windows_.setPosition(window, 0);
                char title[128];
                restartTitle(run, title, sizeof title);
                windows_.setTitle(window, title);
            }
            windows_.setPosition(window, r.done);
            break;
        default: break;
    }
}

bool WizardFrontEnd::cancelled(const Run&, View* view) {
    return windows_.closed() || (view && windows_.poll(view->window));
}

void WizardFrontEnd::closeView(const Run&, View* view) {
    if (!view) return;
    windows_.close(view->window);
    delete view;
}

void WizardFrontEnd::end(const Run&, RunOutcome, const char* message) {
    if (message && !windows_.closed()) windows_.showErrorBox(message);
}
