#include "core/device_check.h"

#include <cctype>
#include <cstring>

#include "base/text.h"
#include "core/model_match.h"
#include "core/questions.h"
#include "core/request_runner.h"
#include "net/http/http_exchange.h"
#include "net/tftp/tftp_listener.h"
#include "platform/local_addresses.h"

namespace {

void dotted(uint32_t a, char* out, size_t size) {
    formatText(out, size, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
}

void checkSubnet(Run& run) {
    const UpgradeContext& c = run.context();
    char local[16], target[16], text[160];
    dotted(c.localAddress, local, sizeof local);
    dotted(c.targetAddress, target, sizeof target);
    uint32_t mask = 0;
    if (c.localAddress == 0 || !localAddressMask(c.localAddress, &mask)) {
        formatText(text, sizeof text, "subnet: the mask of %s is not known", local);
        run.frontEnd().finding(run, Finding::Warning, text);
    } else if ((c.localAddress & mask) == (c.targetAddress & mask)) {
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
                char text[96];
                formatText(text, sizeof text, "web server: the status page answered HTTP %d", status);
                run.frontEnd().finding(run, Finding::Problem, text);
                return RunOutcome::NoResponse;
            }
            run.frontEnd().finding(run, Finding::Ok, "web server: the device answers");
            run.frontEnd().finding(run, Finding::Ok,
                         credentialsGiven ? "credentials: accepted" : "credentials: none needed");
            return RunOutcome::Success;
        }
        if (credentialsGiven && c.digest.nonceCount == 0 && !freshNonceTried) {
            freshNonceTried = true;
            continue;
        }
        if (credentialsGiven) {
            run.frontEnd().finding(run, Finding::Ok, "web server: the device answers");
            run.frontEnd().finding(run, Finding::Problem, "credentials: refused by the device");
            return RunOutcome::PasswordRefused;
        }
        CredentialsAnswer answer;
        if (!run.frontEnd().askCredentials(run, &answer)) {
            if (answer.refusal == RunOutcome::UserAbort) run.stop(RunOutcome::UserAbort);
            run.frontEnd().finding(run, Finding::Ok, "web server: the device answers");
            run.frontEnd().finding(run, Finding::Problem, "credentials: the device asks for a password; none given");
            return RunOutcome::PasswordNeeded;
        }
        takeCredentials(run, answer);
        credentialsGiven = true;
    }
}

// False when the image is not for the device.
bool checkFacts(Run& run) {
    const UpgradeContext& c = run.context();
    const DeviceFacts& facts = c.deviceFacts;
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
    return fits;
}

}  // namespace

RunOutcome checkDevice(Run& run) {
    checkSubnet(run);
    bool portFree = checkTftpPort(run);
    RunOutcome outcome = checkWebServer(run);
    if (outcome == RunOutcome::Success && !checkFacts(run)) outcome = RunOutcome::ImageNotForModel;
    if (outcome == RunOutcome::Success && !portFree) return RunOutcome::ListenerBindFailed;
    return outcome;
}
