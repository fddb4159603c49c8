#include "apps/orbstage/orbstage_flow.h"
#include "core/program_profile.h"
#include "core/start_up.h"
#include "core/upgrade_context.h"
#include "platform/program_entry.h"
#include "ui/cli/cli_run.h"
#include "ui/native_front_end.h"
#include "ui/wizard.h"

// A staged build serves the transition image first.
#if defined(ORBSTAGE_STAGED)
static const Stage kInitialStage = Stage::Transition;
#else
static const Stage kInitialStage = Stage::Target;
#endif

int orbMain(void* instance, int argc, char** argv) {
    gProgram = &kOrbstageProfile;
    gContext.stage.store(kInitialStage);
    gContext.instance = instance;
    // With arguments: the command line; without: the wizard, as ever.
    if (argc > 1) return runCommandLine(argc, argv, runOrbstageFlow);
    useNativeFrontEnd();
    // Registers the program's window class on Windows; no class, no run.
    if (!prepareFrontEnd(instance)) return 0;
    gContext.instance = instance;
    startUp();
    runOrbstageFlow();
}
