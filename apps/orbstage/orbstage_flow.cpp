#include "apps/orbstage/orbstage_flow.h"

#include "core/device_requests.h"
#include "core/firmware_file_name.h"
#include "core/questions.h"
#include "core/run.h"
#include "core/tftp_serving.h"

const unsigned kStagePollMs = 12;

void runOrbstageFlow(Run& run) {
    UpgradeContext& c = run.context();
    if (!askWarning(run)) run.stop(RunOutcome::Declined);
    if (!askAddress(run) || c.targetAddress == 0) run.stop(RunOutcome::Declined);

    RequestReply page;
    if (readStatusPage(run, c.targetAddress, {}, &page) <= 0) {
        char message[96];
        RunOutcome outcome = noStatusPageOutcome(run, page, message, sizeof message);
        run.stop(outcome, message);
    }
    reportDeviceFacts(run);
    stopIfNotForModel(run);
    stopIfAlreadyCurrent(run);
    // Decided before serving starts, so a fast first stage cannot make a
    // staged run look single-stage.
    const bool staged = c.stage.load() == Stage::Transition;
    if (!askConfirmation(run)) run.stop(RunOutcome::UserAbort);

    Serving serving(run);
    uint16_t port = serving.start(c.localAddress, 0, c.targetAddress);
    reportWaiting(run, port);
    sendUpgradeTrigger(run, port);

    if (staged) {
        while (c.stage.load() != Stage::Target) {
            if (serving.ended(kStagePollMs)) serving.finish();
        }
        // The listener now waits for the target image under a new name.
        drawFirmwareFileName(run, "bi1");
        reportWaiting(run, port);
        sendUpgradeTrigger(run, port);
    }
    serving.finish();
}
