#include "core/upgrade_context.h"

UpgradeContext gContext{};

void resetUpgradeContext() {
    static_cast<UpgradeFields&>(gContext) = UpgradeFields{};
    gContext.stage.store(Stage::Target);
    gContext.firmwareFileName.clear();
    gContext.triggerStatus.store(0);
}
