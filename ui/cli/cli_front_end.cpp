#include "ui/cli/cli_front_end.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "base/text.h"
#include "core/device_check.h"
#include "core/run.h"
#include "net/address_utils.h"
#include "platform/platform_clock.h"
#include "ui/window_texts.h"

struct View {
    ViewKind kind;
    int noted = 0;   // the trigger's answer last noted
    int phase = -1;  // of the followed restart, last shown
};

namespace {

struct PhaseWords {
    const char* name;  // in events
    const char* bar;
};
const PhaseWords kPhases[] = {
    {"going-down", "waiting for it to go down"},
    {"coming-back", "down, waiting for it to come back"},
    {"reading-version", "reading its version"},
};

}  // namespace

CliFrontEnd::CliFrontEnd(const RunRequest& request, ProgramOutput& output, Console& console)
    : request_(request), out_(output), console_(console), eventName_(request.device), device_(request.device) {}

void CliFrontEnd::send(const RunEvent& e) { out_.eventLine(eventLine(e)); }

RunEvent CliFrontEnd::event(const char* name) const {
    RunEvent e;
    e.event = name;
    e.device = eventName_;
    return e;
}

// Only what the request left open: a password typed at a hidden prompt.
bool CliFrontEnd::askCredentials(const Run&, CredentialsAnswer* answer) {
    // Nobody to ask: the device wants a password the run was not given.
    answer->refusal = RunOutcome::PasswordNeeded;
    if (!console_.inputIsTerminal()) return false;
    std::fprintf(stderr, "Password for %s at %s: ", request_.user.c_str(), device_.c_str());
    std::fflush(stderr);
    char typed[128];
    // Ctrl+C or the end of input at the prompt.
    answer->refusal = RunOutcome::UserAbort;
    if (console_.readHiddenLine(typed, sizeof typed) != LineResult::Line || console_.interrupted()) return false;
    copyText(answer->userName, sizeof answer->userName, request_.user.c_str());
    copyText(answer->password, sizeof answer->password, typed);
    return true;
}

bool CliFrontEnd::confirmUpgrade(const Run& run) {
    const UpgradeContext& c = run.context();
    std::fprintf(stderr, "Upgrade %s from %s to %s? [y/N] ", device_.c_str(),
                 shownText(c.deviceFacts.get().softwareVersion).c_str(), imageVersion(c.image));
    std::fflush(stderr);
    char answer[16];
    if (console_.readLine(answer, sizeof answer) != LineResult::Line || console_.interrupted()) return false;
    return std::strcmp(answer, "y") == 0 || std::strcmp(answer, "Y") == 0 || std::strcmp(answer, "yes") == 0;
}

void CliFrontEnd::showMessage(const Run&, const char* text, const char* caption) {
    out_.importantLine("%s: %s", caption, shownText(text).c_str());
}

View* CliFrontEnd::openView(const Run&, ViewKind kind) { return new (std::nothrow) View{kind}; }

// Ctrl+C is the Cancel button of whatever waits.
bool CliFrontEnd::cancelled(const Run&, View*) { return console_.interrupted(); }

void CliFrontEnd::closeView(const Run&, View* view) { delete view; }

void CliFrontEnd::transferBar(const RunStep& r) {
    uint32_t elapsed = clockMillis() - transferStartMs_;
    double rate = elapsed ? r.done * 1000.0 / elapsed : 0.0;
    unsigned percent = r.total ? static_cast<unsigned>(uint64_t{r.done} * 100 / r.total) : 100;
    unsigned left = rate > 0 ? static_cast<unsigned>((r.total - r.done) / rate + 0.5) : 0;
    char bar[21];
    for (unsigned i = 0; i < 20; ++i) bar[i] = i < percent / 5 ? '#' : '-';
    bar[20] = '\0';
    char text[160];
    formatText(text, sizeof text, "[%s] %3u%%  %.1f/%.1f MB  %.1f MB/s  %u s left", bar, percent, r.done / 1e6,
               r.total / 1e6, rate / 1e6, left);
    out_.bar(text, r.done == r.total);
}

void CliFrontEnd::step(const Run& run, View* view, const RunStep& r) {
    const UpgradeContext& c = run.context();
    switch (r.kind) {
        case StepKind::Tick: break;
        case StepKind::StatusRead:
            out_.line("reading the status page of %s", dottedAddress(r.address).c_str());
            send(event("status-read"));
            break;
        case StepKind::Facts: {
            const DeviceFacts facts = c.deviceFacts.get();
            if (request_.mode == RunMode::Recovery) device_ += " (" + dottedAddress(c.targetAddress) + ")";
            // check says the same in its "device" finding.
            if (!request_.check)
                out_.line("%s: %s, serial %s, MAC %s, software %s, hardware %s", device_.c_str(),
                      shownText(facts.productName).c_str(), shownText(facts.serialNumber).c_str(),
                      shownText(facts.macAddress).c_str(), shownText(facts.softwareVersion).c_str(),
                      shownText(facts.hardwareVersion).c_str());
            RunEvent e = event("facts");
            e.address = dottedAddress(c.targetAddress);
            e.product = facts.productName;
            e.serial = facts.serialNumber;
            e.mac = facts.macAddress;
            e.software = facts.softwareVersion;
            e.hardware = facts.hardwareVersion;
            send(e);
            break;
        }
        case StepKind::Trigger: {
            out_.line("asked the device to fetch %s from port %u (answer: HTTP %d)", r.text, r.port, r.status);
            RunEvent e = event("trigger");
            e.file = r.text;
            e.port = r.port;
            e.status = r.status;
            send(e);
            break;
        }
        case StepKind::Waiting: {
            out_.line("waiting for the device to fetch %s (TFTP port %u)", r.text, r.port);
            RunEvent e = event("waiting");
            e.file = r.text;
            e.port = r.port;
            send(e);
            break;
        }
        case StepKind::WaitTick: {
            if (!view || r.status == view->noted) break;
            view->noted = r.status;
            if (const char* note = triggerAnswerNote(r.status)) {
                out_.line("note: %s", note);
                RunEvent e = event("note");
                e.text = note;
                send(e);
            }
            break;
        }
        case StepKind::TransferStart: {
            transferStartMs_ = clockMillis();
            out_.line("sending %u bytes to %s:%u", r.total, dottedAddress(r.address).c_str(), r.port);
            RunEvent e = event("transfer");
            e.from = dottedAddress(r.address) + ":" + std::to_string(r.port);
            e.total = r.total;
            send(e);
            break;
        }
        case StepKind::Transfer:
        case StepKind::TransferDone: {
            transferBar(r);
            const bool done = r.kind == StepKind::TransferDone;
            if (done) out_.line("sent %u bytes in %.1f s", r.total, (clockMillis() - transferStartMs_) / 1000.0);
            if (done || clockMillis() - lastProgressMs_ >= 250) {
                lastProgressMs_ = clockMillis();
                RunEvent e = event("progress");
                e.bytes = r.done;
                e.total = r.total;
                send(e);
            }
            break;
        }
        case StepKind::RestartWait: {
            const uint64_t doneMs = uint64_t{r.done} * r.tickMs, totalMs = uint64_t{r.total} * r.tickMs;
            const uint32_t left = static_cast<uint32_t>((totalMs - (doneMs < totalMs ? doneMs : totalMs) + 999) / 1000);
            if (r.done == 0) {
                out_.line("waiting %u s for the device to restart", left);
                RunEvent e = event("restart");
                e.seconds = left;
                send(e);
            }
            out_.bar("restart: " + std::to_string(left) + " s left", false);
            if (left != lastRestartSecond_) {
                lastRestartSecond_ = left;
                RunEvent e = event("restart-progress");
                e.left = left;
                send(e);
            }
            break;
        }
        case StepKind::RestartFollow: {
            const PhaseWords& words = kPhases[static_cast<int>(r.phase)];
            const uint32_t elapsed = r.done / 1000, limit = (r.total + 999) / 1000;
            if (view && view->phase != static_cast<int>(r.phase)) {
                view->phase = static_cast<int>(r.phase);
                switch (r.phase) {
                    case RestartPhase::GoingDown:
                        out_.line("following the restart for at most %u s: waiting for the device to go down", limit);
                        break;
                    case RestartPhase::ComingBack:
                        out_.line("the device is down after %u s: waiting for it to come back", elapsed);
                        break;
                    case RestartPhase::ReadingVersion:
                        out_.line("the device answers again after %u s: reading its version", elapsed);
                        break;
                }
                RunEvent e = event("restart");
                e.phase = words.name;
                e.elapsed = elapsed;
                e.limit = limit;
                send(e);
                lastRestartSecond_ = elapsed;
            }
            out_.bar("restart: " + std::string(words.bar) + ", " + std::to_string(elapsed) + " s (at most " +
                         std::to_string(limit) + " s)",
                     false);
            if (elapsed != lastRestartSecond_) {
                lastRestartSecond_ = elapsed;
                RunEvent e = event("restart-progress");
                e.phase = words.name;
                e.elapsed = elapsed;
                send(e);
            }
            break;
        }
        case StepKind::VersionRead: {
            out_.line("the device reports software %s", shownText(r.text).c_str());
            RunEvent e = event("version");
            e.version = r.text;
            send(e);
            break;
        }
    }
}

void CliFrontEnd::finding(const Run&, Finding finding, const char* text) {
    static const char* const kWords[] = {"ok", "warning", "problem"};
    const char* word = kWords[static_cast<int>(finding)];
    if (finding == Finding::Problem)
        out_.importantLine("%s: %s", word, text);
    else
        out_.line("%s: %s", word, text);
    RunEvent e = event("finding");
    e.level = word;
    e.text = text;
    send(e);
}

void CliFrontEnd::imageFields(const Run& run, RunEvent* e) const {
    const UpgradeContext& c = run.context();
    const std::vector<RequestImage>& images = request_.images;
    if (!c.image.data || (images.size() > 1 && c.imageChoice < 0)) {
        e->image = "";
        e->imageFile = "";
        e->imageSha256 = "";
        return;
    }
    e->image = imageVersion(c.image);
    e->imageSha256 = c.image.sha256;
    e->imageFile = images.empty() ? "" : images[images.size() > 1 ? static_cast<size_t>(c.imageChoice) : 0].file;
}

void CliFrontEnd::end(const Run& run, RunOutcome outcome, const char* message) {
    const int code = exitCodeOf(outcome);
    if (request_.check) {
        if (outcomeSucceeded(outcome))
            out_.line("nothing stands in the way of an upgrade");
        else
            out_.importantLine("%s: %s", device_.c_str(), message ? message : outcomeName(outcome));
        RunEvent e = event("result");
        e.code = code;
        e.outcome = outcomeName(outcome);
        e.verdict = checkVerdict(run, outcome);
        imageFields(run, &e);
        send(e);
        return;
    }
    // Only what the device itself said after the upload: nothing, for a
    // device that was never read again.
    char after[sizeof DeviceFacts::softwareVersion];
    run.context().versionAfter.copyTo(after, sizeof after);
    const std::string version = after;
    if (outcome == RunOutcome::Success)
        out_.line("upgraded %s to %s", device_.c_str(), shownText(version).c_str());
    else if (outcome == RunOutcome::AlreadyCurrent)
        out_.line("%s is %s", device_.c_str(), message);
    else
        out_.importantLine("%s: %s", device_.c_str(), shownText(message ? message : outcomeName(outcome)).c_str());
    RunEvent e = event("result");
    e.code = code;
    e.outcome = outcomeName(outcome);
    if (message)
        e.message = message;
    else
        e.messageNull = true;
    e.version = version;
    e.bytesSent = static_cast<int64_t>(run.context().imageBytesSent.load());
    imageFields(run, &e);
    send(e);
}
