#include "apps/orbstage/orbstage_flow.h"
#include "core/program_profile.h"
#include "core/start_up.h"
#include "core/upgrade_context.h"
#include "platform/platform_process.h"
#include "platform/program_entry.h"
#include "ui/front_end.h"

// A staged build serves the transition image first.
#if defined(ORBSTAGE_STAGED)
static const int kInitialStage = 0;
#else
static const int kInitialStage = 1;
#endif

int orbMain(void* instance) {
    gProgram = &kOrbstageProfile;
    gContext.stage.store(kInitialStage);
    if (!registerProgramWindowClass(instance)) return 0;
    gContext.instance = instance;
    startUp();
    runOrbstageFlow();
    // A declined dialog or a reported failure ends the run here.
    endProcess();
}
