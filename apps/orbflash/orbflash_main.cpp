#include "apps/orbflash/orbflash_flow.h"
#include "core/program_profile.h"
#include "core/start_up.h"
#include "core/upgrade_context.h"
#include "platform/program_entry.h"
#include "ui/cli/cli_run.h"
#include "ui/native_front_end.h"
#include "ui/wizard.h"

int orbMain(void* instance, int argc, char** argv) {
    gProgram = &kOrbflashProfile;
    gContext.instance = instance;
    // With arguments: the command line; without: the wizard, as ever.
    if (argc > 1) return runCommandLine(argc, argv, runOrbflashFlow);
    useNativeFrontEnd();
    if (!prepareFrontEnd(instance)) return 0;
    gContext.instance = instance;
    startUp();
    runOrbflashFlow();
}
