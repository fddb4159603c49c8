#include "apps/orbstage/orbstage_flow.h"

#include "core/device_requests.h"
#include "core/firmware_file_name.h"
#include "core/upgrade_context.h"
#include "net/tftp/tftp_listener.h"
#include "platform/platform_clock.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"

const unsigned kStagePollMs = 12;

void runOrbstageFlow() {
    if (showDialog(IDD_WARNING) == 0) return;
    if (showDialog(gContext.isPhone == 1 ? IDD_STAGE_PHONE_ADDRESS : IDD_ADDRESS) == 0) return;
    if (gContext.targetAddress == 0) return;

    if (readStatusPage(gContext.targetAddress) <= 0) {
        ShowErrorBox("Upgrade Failed: No Response From ORB");
        return;
    }
    if (showDialog(gContext.stage.load() != 0 ? IDD_CONFIRM : IDD_STAGE_CONFIRM) == 0) {
        ShowErrorBox("Upgrade Failed: User Abort");
        return;
    }

    // Decided before serving starts, so a fast first stage cannot make a
    // staged run look single-stage.
    const bool staged = gContext.stage.load() == 0;
    uint16_t port = tftpStartListener(gContext.localAddress, nullptr);
    sendUpgradeTrigger(port);

    if (staged) {
        while (gContext.stage.load() != 1) sleepMillis(kStagePollMs);
        // The listener now waits for the target image under a new name.
        drawFirmwareFileName("bi1");
        sendUpgradeTrigger(port);
    }
    for (;;) sleepMillis(kStagePollMs);
}
