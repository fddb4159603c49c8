#include "apps/orbflash/orbflash_flow.h"
#include "core/program_profile.h"
#include "core/start_up.h"
#include "core/upgrade_context.h"
#include "platform/platform_process.h"
#include "platform/program_entry.h"

int orbMain(void* instance) {
    gProgram = &kOrbflashProfile;
    gContext.instance = instance;
    startUp();
    runOrbflashFlow();
    // A declined dialog or a reported failure ends the run here.
    endProcess();
}
