#include "ui/cli/cli_front_end.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/firmware_image.h"
#include "core/run_end.h"
#include "core/run_report.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "platform/platform_clock.h"
#include "platform/platform_console.h"
#include "ui/cli/cli_output.h"
#include "ui/dialog_logic.h"
#include "ui/progress.h"
#include "ui/wizard.h"

struct ProgressView {
    ProgressKind kind;
};

namespace {

CliRun* run = nullptr;
// How JSON names the device, in every event alike: the target as given
// (a recovery's lines add the address once it is known; its events do not).
std::string jsonName;
int passwordsGiven = 0;
uint32_t transferStartMs = 0;
uint32_t lastJsonProgressMs = 0;
uint32_t lastRestartSecond = 0xFFFFFFFF;

std::string dotted(uint32_t a) {
    char text[16];
    formatText(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    return text;
}

std::string jsonDevice() { return "\"device\":" + jsonString(jsonName.c_str()); }

// The password as the device asks for it: given once; asked again means refused.
int answerPassword() {
    if (passwordsGiven > 0) endRun(RunOutcome::PasswordRefused);
    if (!supplyCredentials(run)) endRun(consoleInputIsTerminal() ? RunOutcome::UserAbort : RunOutcome::PasswordNeeded);
    ++passwordsGiven;
    return 1;
}

int confirmUpgrade() {
    if (run->options.yes) return 1;
    std::fprintf(stderr, "Upgrade %s from %s to %s? [y/N] ", run->device.c_str(),
                 shownText(gContext.deviceFacts.softwareVersion).c_str(), imageVersion(gContext.image));
    std::fflush(stderr);
    char answer[16];
    if (!consoleReadLine(answer, sizeof answer, false)) endRun(RunOutcome::UserAbort);
    if (std::strcmp(answer, "y") == 0 || std::strcmp(answer, "Y") == 0 || std::strcmp(answer, "yes") == 0) return 1;
    endRun(RunOutcome::UserAbort);
}

int cliShowDialog(Dialog dialog) {
    const CliOptions& o = run->options;
    switch (dialog) {
        case Dialog::Welcome:
            chooseMode(o.command == CliCommand::Recover ? RunMode::Recovery : RunMode::Upgrade);
            return 1;
        case Dialog::Warning: return 1;
        case Dialog::Address:
        case Dialog::PhoneAddress: return acceptAddressDialog(o.targets[0].c_str(), run->localIndex) ? 1 : 0;
        case Dialog::Recovery: acceptRecoveryDialog(o.targets[0].c_str(), run->localIndex); return 1;
        case Dialog::Password: return answerPassword();
        case Dialog::Confirm:
        case Dialog::StagedConfirm: return confirmUpgrade();
        case Dialog::Success:
        case Dialog::SuccessVariant: return 1;
    }
    return 0;
}

// The message goes out with the result; a box has nothing to wait for here.
void cliShowErrorBox(const char*) {}

void cliShowMessageBox(const char* text, const char* caption) {
    cliImportantLine("%s: %s", caption, shownText(text).c_str());
}

ProgressView* cliOpen(ProgressKind kind, const char*) { return new (std::nothrow) ProgressView{kind}; }
void cliSetRange(ProgressView*, unsigned) {}
void cliSetPosition(ProgressView*, unsigned) {}
void cliSetTitle(ProgressView*, const char*) {}
void cliSetText(ProgressView*, const char*) {}

void cliSetNote(ProgressView*, const char* note) {
    cliLine("note: %s", note);
    cliJson("{\"event\":\"note\"," + jsonDevice() + ",\"text\":" + jsonString(note) + "}");
}

// Ctrl+C is the Cancel button of whatever waits.
bool cliPoll(ProgressView*) { return consoleInterrupted(); }
void cliClose(ProgressView* view) { delete view; }

const WizardFrontEnd kCliWizard = {nullptr, cliShowDialog, cliShowErrorBox, cliShowMessageBox};
const ProgressFrontEnd kCliProgress = {cliOpen,    cliSetRange, cliSetPosition, cliSetTitle,
                                       cliSetText, cliSetNote,  cliPoll,        cliClose};

void transferBar(const RunReport& r) {
    uint32_t elapsed = clockMillis() - transferStartMs;
    double rate = elapsed ? r.done * 1000.0 / elapsed : 0.0;
    unsigned percent = r.total ? static_cast<unsigned>(uint64_t{r.done} * 100 / r.total) : 100;
    unsigned left = rate > 0 ? static_cast<unsigned>((r.total - r.done) / rate + 0.5) : 0;
    char bar[21];
    for (unsigned i = 0; i < 20; ++i) bar[i] = i < percent / 5 ? '#' : '-';
    bar[20] = '\0';
    char text[160];
    formatText(text, sizeof text, "[%s] %3u%%  %.1f/%.1f MB  %.1f MB/s  %u s left", bar, percent, r.done / 1e6,
               r.total / 1e6, rate / 1e6, left);
    cliBar(text, r.done == r.total);
}

void onReport(const RunReport& r) {
    const DeviceFacts& facts = gContext.deviceFacts;
    switch (r.step) {
        case RunStep::StatusRead:
            cliLine("reading the status page of %s", dotted(r.address).c_str());
            cliJson("{\"event\":\"status-read\"," + jsonDevice() + "}");
            break;
        case RunStep::Facts:
            if (run->options.command == CliCommand::Recover) run->device += " (" + dotted(gContext.targetAddress) + ")";
            cliLine("%s: %s, serial %s, MAC %s, software %s, hardware %s", run->device.c_str(),
                    shownText(facts.productName).c_str(), shownText(facts.serialNumber).c_str(),
                    shownText(facts.macAddress).c_str(), shownText(facts.softwareVersion).c_str(),
                    shownText(facts.hardwareVersion).c_str());
            cliJson("{\"event\":\"facts\"," + jsonDevice() + ",\"address\":\"" + dotted(gContext.targetAddress) +
                    "\",\"product\":" + jsonString(facts.productName) +
                    ",\"serial\":" + jsonString(facts.serialNumber) + ",\"mac\":" + jsonString(facts.macAddress) +
                    ",\"software\":" + jsonString(facts.softwareVersion) +
                    ",\"hardware\":" + jsonString(facts.hardwareVersion) + "}");
            break;
        case RunStep::Trigger:
            cliLine("asked the device to fetch %s from port %u (answer: HTTP %d)", r.text, r.port, r.status);
            cliJson("{\"event\":\"trigger\"," + jsonDevice() + ",\"file\":" + jsonString(r.text) +
                    ",\"port\":" + std::to_string(r.port) + ",\"status\":" + std::to_string(r.status) + "}");
            break;
        case RunStep::Waiting:
            cliLine("waiting for the device to fetch %s (TFTP port %u)", r.text, r.port);
            cliJson("{\"event\":\"waiting\"," + jsonDevice() + ",\"file\":" + jsonString(r.text) +
                    ",\"port\":" + std::to_string(r.port) + "}");
            break;
        case RunStep::TransferStart:
            transferStartMs = clockMillis();
            cliLine("sending %u bytes to %s:%u", r.total, dotted(r.address).c_str(), r.port);
            cliJson("{\"event\":\"transfer\"," + jsonDevice() + ",\"from\":\"" + dotted(r.address) + ":" +
                    std::to_string(r.port) + "\",\"total\":" + std::to_string(r.total) + "}");
            break;
        case RunStep::Transfer:
            transferBar(r);
            if (clockMillis() - lastJsonProgressMs >= 250) {
                lastJsonProgressMs = clockMillis();
                cliJson("{\"event\":\"progress\"," + jsonDevice() + ",\"bytes\":" + std::to_string(r.done) +
                        ",\"total\":" + std::to_string(r.total) + "}");
            }
            break;
        case RunStep::TransferDone: {
            transferBar(r);
            double seconds = (clockMillis() - transferStartMs) / 1000.0;
            cliLine("sent %u bytes in %.1f s", r.total, seconds);
            cliJson("{\"event\":\"progress\"," + jsonDevice() + ",\"bytes\":" + std::to_string(r.done) +
                    ",\"total\":" + std::to_string(r.total) + "}");
            break;
        }
        case RunStep::RestartWait: {
            uint32_t left = (r.total - (r.done < r.total ? r.done : r.total) + 999) / 1000;
            if (r.done == 0) {
                cliLine("waiting %u s for the device to restart", left);
                cliJson("{\"event\":\"restart\"," + jsonDevice() + ",\"seconds\":" + std::to_string(left) + "}");
            }
            cliBar("restart: " + std::to_string(left) + " s left", false);
            if (left != lastRestartSecond) {
                lastRestartSecond = left;
                cliJson("{\"event\":\"restart-progress\"," + jsonDevice() + ",\"left\":" + std::to_string(left) + "}");
            }
            break;
        }
        case RunStep::VersionRead:
            cliLine("the device reports software %s", shownText(r.text).c_str());
            cliJson("{\"event\":\"version\"," + jsonDevice() + ",\"version\":" + jsonString(r.text) + "}");
            break;
    }
}

void onRunEnd(RunOutcome outcome, const char* message) {
    const int code = cliExitCode(outcome);
    const char* version = gContext.deviceFacts.softwareVersion;
    if (outcome == RunOutcome::Success)
        cliLine("upgraded %s to %s", run->device.c_str(), shownText(version).c_str());
    else if (outcome == RunOutcome::AlreadyCurrent)
        cliLine("%s is %s", run->device.c_str(), message);
    else
        cliImportantLine("%s: %s", run->device.c_str(), message ? message : outcomeName(outcome));
    cliJson("{\"event\":\"result\"," + jsonDevice() + ",\"code\":" + std::to_string(code) + ",\"outcome\":\"" +
            outcomeName(outcome) + "\",\"message\":" + (message ? jsonString(message) : std::string("null")) +
            ",\"version\":" + jsonString(version) + "}");
}

}  // namespace

bool supplyCredentials(CliRun* commandLine) {
    if (!commandLine->havePassword) {
        if (!consoleInputIsTerminal()) return false;
        std::fprintf(stderr, "Password for %s at %s: ", commandLine->options.user.c_str(), commandLine->device.c_str());
        std::fflush(stderr);
        char typed[128];
        if (!consoleReadLine(typed, sizeof typed, true)) return false;
        commandLine->password = typed;
        commandLine->havePassword = true;
    }
    acceptPasswordDialog(commandLine->options.user.c_str(), commandLine->password.c_str());
    return true;
}

int cliExitCode(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Success:
        case RunOutcome::AlreadyCurrent: return 0;
        case RunOutcome::UserAbort:
        case RunOutcome::SearchCancelled: return 130;
        case RunOutcome::HttpConnectFailed:
        case RunOutcome::NoResponse: return 3;
        case RunOutcome::PasswordNeeded:
        case RunOutcome::PasswordRefused: return 4;
        case RunOutcome::DeviceNotFound: return 5;
        case RunOutcome::TftpTimeOut:
        case RunOutcome::TftpDeviceError:
        case RunOutcome::UploadIncomplete:
        case RunOutcome::FetchTimedOut: return 6;
        case RunOutcome::NotRespondingAfterUpload:
        case RunOutcome::VersionMismatch: return 7;
        case RunOutcome::ImageDamaged: return 8;
        default: return 1;
    }
}

void useCommandLineFrontEnd(CliRun* commandLine) {
    run = commandLine;
    jsonName = commandLine->device;
    useWizardFrontEnd(&kCliWizard);
    useProgressFrontEnd(&kCliProgress);
    setRunReportListener(onReport);
    setRunEndListener(onRunEnd);
    setExitCodeRule(cliExitCode);
}
