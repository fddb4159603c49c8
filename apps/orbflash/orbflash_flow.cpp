#include "apps/orbflash/orbflash_flow.h"

#include "apps/orbflash/orbflash_recovery.h"
#include "core/device_requests.h"
#include "core/run_end.h"
#include "core/tftp_serving.h"
#include "core/upgrade_context.h"
#include "net/recovery/recovery_discovery.h"
#include "platform/platform_clock.h"
#include "ui/wizard.h"

// Ends the run before anything was served; the recovery socket goes first.
[[noreturn]] static void endBeforeServing(RunOutcome outcome) {
    recoveryClose();
    endRun(outcome);
}

void runOrbflashFlow() {
    if (showDialog(Dialog::Welcome) == 0) endRun(RunOutcome::Declined);
    const bool upgrade = gContext.mode == RunMode::Upgrade;

    int result = 1;
    if (upgrade) {
        if (showDialog(Dialog::Warning) == 0) endRun(RunOutcome::Declined);
        result = showDialog(gContext.isPhone ? Dialog::PhoneAddress : Dialog::Address);
    } else {
        if (showDialog(Dialog::Recovery) == 0) endRun(RunOutcome::Declined);
        searchForDevice();
        takeRecoveryAnswer();
        reportDeviceFacts();
    }
    if (result == 0 || gContext.targetAddress == 0) endBeforeServing(RunOutcome::Declined);

    if (upgrade) {
        result = readStatusPage(gContext.targetAddress);
        if (result <= 0) endBeforeServing(RunOutcome::NoResponse);
        reportDeviceFacts();
        endIfAlreadyCurrent();
    }
    if (showDialog(Dialog::Confirm) == 0) endBeforeServing(RunOutcome::UserAbort);

    uint16_t port = tftpStartListener(gContext.localAddress, upgrade ? 0 : kRecoveryGroup, gContext.targetAddress);
    // The group could not be joined (already reported): telling the device
    // port 0 could only leave it waiting.
    if (port == 0) endBeforeServing(RunOutcome::GroupJoinFailed);
    reportWaiting(port);
    if (upgrade) {
        sendUpgradeTrigger(port);
        sleepMillis(10);
    } else if (!sendFetchCommand(port)) {
        // Shown while the wait goes on: the device may have acted on a
        // fetch whose answer was lost.
        gContext.triggerStatus.store(-1);
    }
    // The TFTP side or a Cancel ends the run from here on.
    for (;;) sleepMillis(1000);
}
