#include "apps/orbflash/orbflash_flow.h"

#include "core/device_requests.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/recovery/recovery_discovery.h"
#include "net/tftp/tftp_listener.h"
#include "platform/platform_clock.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"

static const char kRecoveryGroupText[] = "234.4.8.10";

// The device's facts and address come from its discovery answer.
static void takeRecoveryAnswer() {
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

void runOrbflashFlow() {
    if (showDialog(IDD_WELCOME) == 0) return;
    const bool upgrade = gContext.mode == 1;

    int result;
    if (upgrade) {
        if (showDialog(IDD_WARNING) == 0) return;
        result = showDialog(gContext.isPhone == 1 ? IDD_FLASH_PHONE_ADDRESS : IDD_ADDRESS);
    } else {
        if (showDialog(IDD_RECOVERY) == 0) return;
        result = showSearchWindow(recoverySearchThread);
        if (result == 0) {
            recoveryClose();
            return;
        }
        takeRecoveryAnswer();
    }
    if (result == 0 || gContext.targetAddress == 0) {
        recoveryClose();
        return;
    }

    if (upgrade) result = readStatusPage(gContext.targetAddress);
    if (result <= 0) {
        ShowErrorBox("Upgrade Failed: No Response From ORB");
        recoveryClose();
        return;
    }
    if (showDialog(IDD_CONFIRM) == 0) {
        ShowErrorBox("Upgrade Failed: User Abort");
        recoveryClose();
        return;
    }

    uint16_t port = tftpStartListener(gContext.localAddress, upgrade ? nullptr : kRecoveryGroupText);
    if (port == 0) {
        // The group could not be joined (already reported): telling the
        // device port 0 could only leave it waiting.
        recoveryClose();
        return;
    }
    if (upgrade) {
        sendUpgradeTrigger(port);
        sleepMillis(10);
    } else {
        RecoveryRequest fetch;
        makeFetchRequest(&fetch, gContext.recoverySerial, port, gContext.firmwareFileName);
        recoveryExchange(&fetch, gContext.recoveryReply, gContext.localAddress);
    }
    // The TFTP side or a Cancel ends the process from here on.
    for (;;) sleepMillis(10);
}
