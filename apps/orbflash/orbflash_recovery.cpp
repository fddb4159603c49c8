#include "apps/orbflash/orbflash_recovery.h"

#include "core/request_runner.h"
#include "core/run_end.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/recovery/recovery_discovery.h"
#include "ui/progress.h"
#include "ui/wizard.h"

namespace {

const unsigned kBarMaximum = 100;

// The connecting window while the search runs: one bar step per tick,
// from 1 to 100, then 0 and up again.
struct Search {
    ProgressView* view;
    unsigned counter;
    bool cancelled;
};

void reportInBox(void*, const char* text, const char* caption) { showMessageBox(text, caption); }

bool searchTick(void* raw) {
    Search* search = static_cast<Search*>(raw);
    if (++search->counter > kBarMaximum) search->counter = 0;
    setProgressPosition(search->view, search->counter);
    search->cancelled = progressCancelled(search->view);
    return !search->cancelled;
}

bool keepGoing(void*) { return true; }

}  // namespace

void searchForDevice() {
    char title[64];
    connectingTitle(title, sizeof title);
    Search search{openProgress(ProgressKind::Connecting, title), 0, false};
    setProgressRange(search.view, kBarMaximum);
    RecoveryRequest request;
    makeSearchRequest(&request, gContext.recoverySerial);
    int found = recoveryExchange(&request, gContext.recoveryReply, gContext.localAddress,
                                 RecoveryHooks{&search, reportInBox, searchTick});
    closeProgress(search.view);
    if (search.cancelled) {
        recoveryClose();
        endRun(RunOutcome::SearchCancelled);
    }
    if (!found) {
        recoveryClose();
        endRun(RunOutcome::DeviceNotFound);
    }
}

void takeRecoveryAnswer() {
    RecoveryAnswer answer;
    readRecoveryAnswer(gContext.recoveryReply, &answer);
    DeviceFacts& facts = gContext.deviceFacts;
    copyText(facts.productName, sizeof facts.productName, answer.productName);
    formatMacHex(answer.mac, facts.macAddress, sizeof answer.mac);
    copyText(facts.softwareVersion, sizeof facts.softwareVersion, answer.softwareVersion);
    copyText(facts.hardwareVersion, sizeof facts.hardwareVersion, answer.hardwareVersion);
    copyText(facts.serialNumber, sizeof facts.serialNumber, answer.serialNumber);
    gContext.targetAddress = answer.address;
}

bool sendFetchCommand(uint16_t port) {
    char name[128];
    gContext.firmwareFileName.copyTo(name, sizeof name);
    RecoveryRequest fetch;
    makeFetchRequest(&fetch, gContext.recoverySerial, port, name);
    return recoveryExchange(&fetch, gContext.recoveryReply, gContext.localAddress,
                            RecoveryHooks{nullptr, reportInBox, keepGoing}) == 1;
}
