#include "apps/orbflash/orbflash_recovery.h"

#include "base/text.h"

namespace {

// The connecting view while the search runs, a tick each receive slice.
struct Search {
    Run& run;
    OpenView& view;
    uint32_t ticks;
    bool cancelled;
};

void reportInBox(void* raw, const char* text, const char* caption) {
    Run& run = *static_cast<Run*>(raw);
    run.frontEnd().showMessage(run, text, caption);
}

void reportSearchError(void* raw, const char* text, const char* caption) {
    Search* search = static_cast<Search*>(raw);
    search->run.frontEnd().showMessage(search->run, text, caption);
}

bool searchTick(void* raw) {
    Search* search = static_cast<Search*>(raw);
    search->view.step(RunStep{.kind = StepKind::Tick, .done = ++search->ticks});
    search->cancelled = search->view.cancelled();
    return !search->cancelled;
}

// The fetch goes on unwatched, until the TFTP side has ended the run.
bool untilStopped(void* raw) { return !static_cast<Run*>(raw)->stopping(); }

}  // namespace

void RecoverySearch::search() {
    UpgradeContext& c = run_.context();
    OpenView view(run_, ViewKind::Connecting);
    Search search{run_, view, 0, false};
    RecoveryRequest request;
    makeSearchRequest(&request, c.recoverySerial);
    int found = recoveryExchange(&channel_, &request, c.recoveryReply, c.localAddress,
                                 RecoveryHooks{&search, reportSearchError, searchTick});
    view.close();
    if (search.cancelled) stopBeforeServing(RunOutcome::SearchCancelled);
    if (!found) stopBeforeServing(RunOutcome::DeviceNotFound);
}

void RecoverySearch::takeAnswer() {
    UpgradeContext& c = run_.context();
    RecoveryAnswer answer;
    readRecoveryAnswer(c.recoveryReply, &answer);
    DeviceFacts facts{};
    copyText(facts.productName, sizeof facts.productName, answer.productName);
    formatMacHex(answer.mac, facts.macAddress, sizeof answer.mac);
    copyText(facts.softwareVersion, sizeof facts.softwareVersion, answer.softwareVersion);
    copyText(facts.hardwareVersion, sizeof facts.hardwareVersion, answer.hardwareVersion);
    copyText(facts.serialNumber, sizeof facts.serialNumber, answer.serialNumber);
    c.deviceFacts.set(facts);
    c.targetAddress = answer.address;
}

bool RecoverySearch::sendFetch(uint16_t port) {
    UpgradeContext& c = run_.context();
    char name[128];
    c.firmwareFileName.copyTo(name, sizeof name);
    RecoveryRequest fetch;
    makeFetchRequest(&fetch, c.recoverySerial, port, name);
    return recoveryExchange(&channel_, &fetch, c.recoveryReply, c.localAddress,
                            RecoveryHooks{&run_, reportInBox, untilStopped}) == 1;
}

void RecoverySearch::stopBeforeServing(RunOutcome outcome, const char* message) {
    recoveryClose(&channel_);
    run_.stop(outcome, message);
}
