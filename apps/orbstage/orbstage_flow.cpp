#include "apps/orbstage/orbstage_flow.h"

#include "core/device_requests.h"
#include "core/firmware_file_name.h"
#include "core/run_end.h"
#include "core/tftp_serving.h"
#include "core/upgrade_context.h"
#include "platform/platform_clock.h"
#include "ui/wizard.h"

const unsigned kStagePollMs = 12;

void runOrbstageFlow() {
    if (showDialog(Dialog::Warning) == 0) endRun(RunOutcome::Declined);
    if (showDialog(gContext.isPhone ? Dialog::PhoneAddress : Dialog::Address) == 0) endRun(RunOutcome::Declined);
    if (gContext.targetAddress == 0) endRun(RunOutcome::Declined);

    if (readStatusPage(gContext.targetAddress) <= 0) endRun(RunOutcome::NoResponse);
    reportDeviceFacts();
    endIfAlreadyCurrent();
    // Decided before serving starts, so a fast first stage cannot make a
    // staged run look single-stage.
    const bool staged = gContext.stage.load() == Stage::Transition;
    if (showDialog(staged ? Dialog::StagedConfirm : Dialog::Confirm) == 0) endRun(RunOutcome::UserAbort);

    uint16_t port = tftpStartListener(gContext.localAddress, 0, gContext.targetAddress);
    reportWaiting(port);
    sendUpgradeTrigger(port);

    if (staged) {
        while (gContext.stage.load() != Stage::Target) sleepMillis(kStagePollMs);
        // The listener now waits for the target image under a new name.
        drawFirmwareFileName("bi1");
        reportWaiting(port);
        sendUpgradeTrigger(port);
    }
    for (;;) sleepMillis(1000);
}
