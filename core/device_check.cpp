#include "core/device_check.h"

#include <cctype>
#include <cstring>

#include "base/text.h"
#include "core/device_requests.h"
#include "core/model_match.h"
#include "core/questions.h"
#include "core/request_runner.h"
#include "net/address_utils.h"
#include "net/http/http_exchange.h"
#include "net/tftp/tftp_listener.h"
#include "platform/local_addresses.h"

namespace {

void checkSubnet(Run& run) {
    const UpgradeContext& c = run.context();
    char local[kDottedQuadSize], target[kDottedQuadSize], text[160];
    formatDottedQuad(c.localAddress, local, sizeof local);
    formatDottedQuad(c.targetAddress, target, sizeof target);
    bool known = false;
    const bool on = onLocalSubnet(c, &known);
    if (!known) {
        formatText(text, sizeof text, "subnet: the mask of %s is not known", local);
        run.frontEnd().finding(run, Finding::Warning, text);
    } else if (on) {
        formatText(text, sizeof text, "subnet: %s and %s are on the same subnet", local, target);
        run.frontEnd().finding(run, Finding::Ok, text);
    } else {
        formatText(text, sizeof text, "subnet: %s is not on the subnet of %s: the device may not reach this PC", target,
                   local);
        run.frontEnd().finding(run, Finding::Warning, text);
    }
}

bool checkTftpPort(Run& run) {
    const UpgradeContext& c = run.context();
    TftpOpenFailure failure;
    TftpListener* listener = tftpOpenListener(c.localAddress, 0, &failure);
    char text[160];
    if (!listener) {
        run.frontEnd().finding(run, Finding::Problem, "TFTP: no UDP port from 69 to 168 is free");
        return false;
    }
    if (listener->port == kTftpFirstPort)
        formatText(text, sizeof text, "TFTP: the listener can use port 69");
    else
        formatText(text, sizeof text, "TFTP: port 69 is taken; the listener would use port %u", listener->port);
    run.frontEnd().finding(run, listener->port == kTftpFirstPort ? Finding::Ok : Finding::Warning, text);
    tftpCloseListener(listener);
    return true;
}

// The status page as the request runner would read it: credentials when
// asked, one more try for a fresh nonce.
RunOutcome checkWebServer(Run& run) {
    const UpgradeContext& c = run.context();
    bool credentialsGiven = false;
    bool freshNonceTried = false;
    for (;;) {
        HttpFailure failure = HttpFailure::None;
        int status = 0;
        int got = exchangeOnce(run, c.targetAddress, kDeviceHttpPort, "/admin/advanced", &failure, &status);
        if (failure == HttpFailure::SocketFailed || failure == HttpFailure::BindFailed) {
            // Our side, not the device's silence.
            run.frontEnd().finding(run, Finding::Problem,
                                   failure == HttpFailure::BindFailed
                                       ? "web server: no local TCP port could be bound to reach the device"
                                       : "web server: no TCP socket could be opened");
            return failure == HttpFailure::BindFailed ? RunOutcome::HttpBindFailed : RunOutcome::HttpSocketFailed;
        }
        if (failure != HttpFailure::None || got == 0) {
            run.frontEnd().finding(run, Finding::Problem, "web server: no answer from the device");
            return RunOutcome::NoResponse;
        }
        if (got > 0) {
            if (status < 200 || status > 299) {
                char shown[48], text[96], message[96];
                formatHttpStatus(shown, sizeof shown, status);
                formatText(text, sizeof text, "web server: the status page answered %s", shown);
                run.frontEnd().finding(run, Finding::Problem, text);
                RequestReply page;
                page.status = status;
                RunOutcome outcome = noStatusPageOutcome(run, page, message, sizeof message);
                if (outcome == RunOutcome::HttpError) run.stop(outcome, message);
                return outcome;
            }
            run.frontEnd().finding(run, Finding::Ok, "web server: the device answers");
            run.frontEnd().finding(run, Finding::Ok,
                         credentialsGiven ? "credentials: accepted" : "credentials: none needed");
            return RunOutcome::Success;
        }
        if (credentialsGiven && c.digest.get().nonceCount == 0 && !freshNonceTried) {
            freshNonceTried = true;
            continue;
        }
        if (credentialsGiven) {
            run.frontEnd().finding(run, Finding::Ok, "web server: the device answers");
            run.frontEnd().finding(run, Finding::Problem, "credentials: refused by the device");
            return RunOutcome::PasswordRefused;
        }
        CredentialsAnswer answer;
        if (!answerCredentials(run, &answer)) {
            if (answer.refusal == RunOutcome::UserAbort) run.stop(RunOutcome::UserAbort);
            run.frontEnd().finding(run, Finding::Ok, "web server: the device answers");
            run.frontEnd().finding(run, Finding::Problem, "credentials: the device asks for a password; none given");
            return RunOutcome::PasswordNeeded;
        }
        takeCredentials(run, answer);
        credentialsGiven = true;
    }
}

// The outcome's problem when the image (or none of several) is for the device.
RunOutcome checkFacts(Run& run) {
    const UpgradeContext& c = run.context();
    reportDeviceFacts(run);
    const DeviceFacts facts = c.deviceFacts.get();
    char shown[5][132];
    const char* values[5] = {facts.productName, facts.serialNumber, facts.macAddress, facts.softwareVersion,
                             facts.hardwareVersion};
    for (int i = 0; i < 5; ++i) escapeControls(shown[i], sizeof shown[i], values[i]);
    char text[700];
    formatText(text, sizeof text, "device: %s, serial %s, MAC %s, software %s, hardware %s", shown[0], shown[1],
               shown[2], shown[3], shown[4]);
    bool complete = true;
    for (const char* value : values) complete = complete && value[0] != '\0';
    run.frontEnd().finding(run, complete ? Finding::Ok : Finding::Warning, text);

    if (!c.imageChoices.empty() && !chooseImageForDevice(run)) {
        formatText(text, sizeof text, "model: none of the images is for %s: it would be refused", shown[0]);
        run.frontEnd().finding(run, Finding::Problem, text);
        return RunOutcome::NoImageForModel;
    }
    const char* model = c.modelName;
    bool fits = modelFitsProduct(model, facts.productName);
    formatText(text, sizeof text,
               fits ? "model: the image is for %s, the device is %s"
                    : "model: the image is for %s, but the device says it is %s: it would be refused",
               model, shown[0]);
    run.frontEnd().finding(run, fits ? Finding::Ok : Finding::Problem, text);

    const char* version = imageVersion(c.image);
    bool current = std::strcmp(version, facts.softwareVersion) == 0;
    formatText(text, sizeof text,
               current ? "version: the device already runs %s (an upgrade leaves it alone unless forced)"
                       : "version: %s would be served; the device runs %s",
               version, shown[3]);
    run.frontEnd().finding(run, Finding::Ok, text);
    return fits ? RunOutcome::Success : RunOutcome::ImageNotForModel;
}

}  // namespace

bool onLocalSubnet(const UpgradeContext& c, bool* known) {
    uint32_t mask = 0;
    *known = c.localAddress != 0 && localAddressMask(c.localAddress, &mask);
    return *known && (c.localAddress & mask) == (c.targetAddress & mask);
}

namespace {
const char* const kWouldUpgrade = "would upgrade";
const char* const kAlreadyCurrent = "already current";
}  // namespace

bool verdictClear(const std::string& verdict) { return verdict == kWouldUpgrade || verdictCurrent(verdict); }

bool verdictCurrent(const std::string& verdict) { return verdict == kAlreadyCurrent; }

const char* checkVerdict(const Run& run, RunOutcome outcome) {
    const UpgradeContext& c = run.context();
    bool known = false;
    switch (outcome) {
        case RunOutcome::Success:
            if (std::strcmp(imageVersion(c.image), c.deviceFacts.get().softwareVersion) == 0) return kAlreadyCurrent;
            return onLocalSubnet(c, &known) || !known ? kWouldUpgrade : "not on this PC's subnet";
        case RunOutcome::NoResponse:
        case RunOutcome::HttpConnectFailed: return "no answer";
        case RunOutcome::PasswordRefused: return "password refused";
        case RunOutcome::PasswordNeeded: return "password needed";
        case RunOutcome::ImageNotForModel: return "image not for this model";
        case RunOutcome::NoImageForModel: return "no image for this model";
        case RunOutcome::ListenerBindFailed: return "no TFTP port free here";
        default: return outcomeName(outcome);
    }
}

RunOutcome checkDevice(Run& run) {
    checkSubnet(run);
    bool portFree = checkTftpPort(run);
    RunOutcome outcome = checkWebServer(run);
    if (outcome == RunOutcome::Success) outcome = checkFacts(run);
    if (outcome == RunOutcome::Success && !portFree) return RunOutcome::ListenerBindFailed;
    return outcome;
}
