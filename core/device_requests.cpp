#include "core/device_requests.h"

#include <cstring>

#include "core/request_runner.h"
#include "core/run_end.h"
#include "core/run_options.h"
#include "core/run_report.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/http/http_exchange.h"

int readStatusPage(uint32_t deviceAddress) {
    reportRunStep(RunReport{RunStep::StatusRead, deviceAddress, kDeviceHttpPort, 0, 0, 0, nullptr});
    int status = 0;
    int got = runRequest(gContext.instance, gContext.localAddress, kFirstHttpPort, deviceAddress, kDeviceHttpPort,
                         "/admin/advanced", gContext.responseBuffer, kResponseCapacity, &status);
    // An error page is no status page, whatever facts its body shows.
    return status >= 200 && status < 300 ? got : 0;
}

void reportDeviceFacts() { reportRunStep(RunReport{RunStep::Facts, gContext.targetAddress, 0, 0, 0, 0, nullptr}); }

void reportWaiting(uint16_t port) {
    char name[128];
    gContext.firmwareFileName.copyTo(name, sizeof name);
    reportRunStep(RunReport{RunStep::Waiting, gContext.localAddress, port, 0, 0, 0, name});
}

void endIfAlreadyCurrent() {
    if (!gRunOptions.skipCurrent) return;
    const char* version = imageVersion(gContext.image);
    if (std::strcmp(version, gContext.deviceFacts.softwareVersion) != 0) return;
    char message[192];
    formatText(message, sizeof message, "already at %s", version);
    endRun(RunOutcome::AlreadyCurrent, message);
}

void formatUpgradeTrigger(char* out, size_t size, uint32_t localAddress, uint16_t port, const char* fileName) {
    formatText(out, size, "/admin/upgrade?tftp://%u.%u.%u.%u:%u%s", localAddress >> 24, (localAddress >> 16) & 0xFF,
               (localAddress >> 8) & 0xFF, localAddress & 0xFF, static_cast<unsigned>(port), fileName);
}

void sendUpgradeTrigger(uint16_t port) {
    char name[128];
    gContext.firmwareFileName.copyTo(name, sizeof name);
    char path[192];
    formatUpgradeTrigger(path, sizeof path, gContext.localAddress, port, name);
    int status = 0;
    runRequest(gContext.instance, gContext.localAddress, kFirstHttpPort, gContext.targetAddress, kDeviceHttpPort, path,
               gContext.responseBuffer, kResponseCapacity, &status);
    gContext.triggerStatus.store(status);
    reportRunStep(RunReport{RunStep::Trigger, gContext.targetAddress, port, status, 0, 0, name});
}
