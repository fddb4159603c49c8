#include "core/upgrade_context.h"

#include <cstring>

UpgradeContext gContext{};

void resetUpgradeContext() {
    // std::atomic is not trivially copyable; clear the rest field by field.
    gContext.stage.store(1);
    gContext.instance = nullptr;
    gContext.mode = 0;
    std::memset(gContext.hostName, 0, sizeof gContext.hostName);
    std::memset(gContext.localAddresses, 0, sizeof gContext.localAddresses);
    gContext.localAddress = 0;
    gContext.targetAddress = 0;
    std::memset(gContext.targetText, 0, sizeof gContext.targetText);
    std::memset(gContext.recoverySerial, 0, sizeof gContext.recoverySerial);
    std::memset(&gContext.digest, 0, sizeof gContext.digest);
    std::memset(&gContext.deviceFacts, 0, sizeof gContext.deviceFacts);
    std::memset(gContext.modelName, 0, sizeof gContext.modelName);
    gContext.isPhone = 0;
    std::memset(&gContext.image, 0, sizeof gContext.image);
    std::memset(&gContext.transitionImage, 0, sizeof gContext.transitionImage);
    std::memset(gContext.firmwareFileName, 0, sizeof gContext.firmwareFileName);
    std::memset(gContext.responseBuffer, 0, sizeof gContext.responseBuffer);
    std::memset(gContext.recoveryReply, 0, sizeof gContext.recoveryReply);
}
