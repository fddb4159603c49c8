#include "core/upgrade_context.h"

#include "core/run_options.h"

UpgradeContext gContext{};
RunOptions gRunOptions{};

void resetUpgradeContext() {
    static_cast<UpgradeFields&>(gContext) = UpgradeFields{};
    gContext.stage.store(Stage::Target);
    gContext.firmwareFileName.clear();
    gContext.triggerStatus.store(0);
}
