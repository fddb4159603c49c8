#include "core/device_requests.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "core/model_match.h"
#include "core/request_runner.h"
#include "core/start_up.h"
#include "core/run.h"
#include "net/http/http_exchange.h"

namespace {

int requestStatusPage(Run& run, uint32_t deviceAddress, const RequestManner& manner, RequestReply* page) {
    RequestReply reply;
    int got = runRequest(run, deviceAddress, kDeviceHttpPort, "/admin/advanced", &reply, manner);
    if (page) *page = reply;
    // An error page is no status page, whatever facts its body shows.
    return reply.status >= 200 && reply.status < 300 ? got : 0;
}

struct ReasonPhrase {
    int status;
    const char* text;
};
const ReasonPhrase kReasonPhrases[] = {
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {408, "Request Timeout"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
};

}  // namespace

void formatHttpStatus(char* out, size_t size, int status) {
    for (const ReasonPhrase& phrase : kReasonPhrases) {
        if (phrase.status == status) {
            formatText(out, size, "HTTP %d %s", status, phrase.text);
            return;
        }
    }
    formatText(out, size, "HTTP %d", status);
}

RunOutcome noStatusPageOutcome(const Run& run, const RequestReply& page, char* message, size_t size) {
    // No status line is no answer; a 401 here is a password question the run ended on.
    if (!run.options().nameHttpErrors || page.status == 0 || page.status == 401 ||
        (page.status >= 200 && page.status < 300)) {
        copyText(message, size, outcomeMessage(RunOutcome::NoResponse));
        return RunOutcome::NoResponse;
    }
    char status[48];
    formatHttpStatus(status, sizeof status, page.status);
    formatText(message, size, "Upgrade Failed: The ORB answered %s", status);
    return RunOutcome::HttpError;
}

int readStatusPage(Run& run, uint32_t deviceAddress, const RequestManner& manner, RequestReply* page) {
    run.step(nullptr, RunStep{.kind = StepKind::StatusRead, .address = deviceAddress, .port = kDeviceHttpPort});
    return requestStatusPage(run, deviceAddress, manner, page);
}

int pollStatusPage(Run& run, uint32_t deviceAddress, RequestReply* page) {
    // A poll must not hold the follow: a device that takes longer is down.
    const HttpTimeouts bounds = restartPollBounds(run.httpTimeouts());
    const RequestManner manner{&bounds, true, run.options().unusableChallengeIsAnswer};
    return requestStatusPage(run, deviceAddress, manner, page);
}

HttpTimeouts restartPollBounds(const HttpTimeouts& own) {
    return HttpTimeouts{std::min(own.connectMs, 3000u), std::min(own.idleMs, 3000u), std::min(own.exchangeMs, 5000u)};
}

void reportDeviceFacts(Run& run) {
    run.step(nullptr, RunStep{.kind = StepKind::Facts, .address = run.context().targetAddress});
}

void reportWaiting(Run& run, uint16_t port) {
    char name[128];
    run.context().firmwareFileName.copyTo(name, sizeof name);
    run.step(nullptr,
             RunStep{.kind = StepKind::Waiting, .address = run.context().localAddress, .port = port, .text = name});
}

void stopIfAlreadyCurrent(Run& run) {
    if (!run.options().skipCurrent) return;
    const char* version = imageVersion(run.context().image);
    if (std::strcmp(version, run.context().deviceFacts.get().softwareVersion) != 0) return;
    char message[192];
    formatText(message, sizeof message, "already at %s", version);
    run.stop(RunOutcome::AlreadyCurrent, message);
}

bool chooseImageForDevice(Run& run) {
    UpgradeContext& c = run.context();
    const DeviceFacts facts = c.deviceFacts.get();
    for (size_t i = 0; i < c.imageChoices.size(); ++i) {
        char model[32];
        modelNameOf(run.profile(), c.imageChoices[i].header, model, sizeof model, nullptr);
        if (!modelFitsProduct(model, facts.productName)) continue;
        c.image = c.imageChoices[i];
        c.imageChoice = static_cast<int>(i);
        lookupModel(run, c.image.header);
        return true;
    }
    return false;
}

void stopIfNotForModel(Run& run) {
    if (!run.options().checkModel) return;
    const UpgradeContext& c = run.context();
    const DeviceFacts facts = c.deviceFacts.get();
    char shown[132], message[256];
    escapeControls(shown, sizeof shown, facts.productName);
    if (!shown[0]) copyText(shown, sizeof shown, "(no product name)");
    if (!c.imageChoices.empty() && !chooseImageForDevice(run)) {
        formatText(message, sizeof message, "Upgrade Failed: No image for this model (the device is %s)", shown);
        run.stop(RunOutcome::NoImageForModel, message);
    }
    const FirmwareImage* images[] = {&c.transitionImage, &c.image};
    for (const FirmwareImage* image : images) {
        if (!image->data) continue;
        char model[32];
        modelNameOf(run.profile(), image->header, model, sizeof model, nullptr);
        if (modelFitsProduct(model, facts.productName)) continue;
        formatText(message, sizeof message, "Upgrade Failed: The image is for %s, but the device is %s", model, shown);
        run.stop(RunOutcome::ImageNotForModel, message);
    }
}

void formatUpgradeTrigger(char* out, size_t size, uint32_t localAddress, uint16_t port, const char* fileName) {
    formatText(out, size, "/admin/upgrade?tftp://%u.%u.%u.%u:%u%s", localAddress >> 24, (localAddress >> 16) & 0xFF,
               (localAddress >> 8) & 0xFF, localAddress & 0xFF, static_cast<unsigned>(port), fileName);
}

void sendUpgradeTrigger(Run& run, uint16_t port) {
    UpgradeContext& c = run.context();
    char name[128];
    c.firmwareFileName.copyTo(name, sizeof name);
    char path[192];
    formatUpgradeTrigger(path, sizeof path, c.localAddress, port, name);
    RequestReply reply;
    runRequest(run, c.targetAddress, kDeviceHttpPort, path, &reply,
               RequestManner{nullptr, false, run.options().unusableChallengeIsAnswer});
    const int status = reply.status;
    c.triggerStatus.store(status);
    run.step(nullptr, RunStep{.kind = StepKind::Trigger, .address = c.targetAddress, .port = port, .status = status,
                              .text = name});
}
