#include "apps/orbflash/orbflash_flow.h"

#include "apps/orbflash/orbflash_recovery.h"
#include "core/device_requests.h"
#include "core/questions.h"
#include "core/run.h"
#include "core/tftp_serving.h"
#include "net/recovery/recovery_discovery.h"

void runOrbflashFlow(Run& run) {
    UpgradeContext& c = run.context();
    if (!askMode(run)) run.stop(RunOutcome::Declined);
    const bool upgrade = c.mode == RunMode::Upgrade;
    RecoverySearch recovery(run);

    bool answered = true;
    if (upgrade) {
        if (!askWarning(run)) run.stop(RunOutcome::Declined);
        answered = askAddress(run);
    } else {
        if (!askSerial(run)) run.stop(RunOutcome::Declined);
        recovery.search();
        recovery.takeAnswer();
        reportDeviceFacts(run);
        stopIfNotForModel(run);
    }
    if (!answered || c.targetAddress == 0) recovery.stopBeforeServing(RunOutcome::Declined);

    if (upgrade) {
        RequestReply page;
        if (readStatusPage(run, c.targetAddress, {}, &page) <= 0) {
            char message[96];
            RunOutcome outcome = noStatusPageOutcome(run, page, message, sizeof message);
            recovery.stopBeforeServing(outcome, message);
        }
        reportDeviceFacts(run);
        stopIfNotForModel(run);
        stopIfAlreadyCurrent(run);
    }
    if (!askConfirmation(run)) recovery.stopBeforeServing(RunOutcome::UserAbort);

    Serving serving(run);
    uint16_t port = serving.start(c.localAddress, upgrade ? 0 : kRecoveryGroup, c.targetAddress);
    // The group could not be joined (already reported): telling the device
    // port 0 could only leave it waiting.
    if (port == 0) recovery.stopBeforeServing(RunOutcome::GroupJoinFailed);
    reportWaiting(run, port);
    if (upgrade) {
        sendUpgradeTrigger(run, port);
    } else if (!recovery.sendFetch(port)) {
        // Shown while the wait goes on: the device may have acted on a
        // fetch whose answer was lost.
        c.triggerStatus.store(-1);
    }
    // The TFTP side ends the run from here on.
    serving.finish();
}
