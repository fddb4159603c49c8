#include "apps/entry/program_main.h"
#include "apps/orbstage/orbstage_flow.h"
#include "apps/profiles/program_profiles.h"
#include "platform/program_entry.h"

// A staged build serves the transition image first.
#if defined(ORBSTAGE_STAGED)
static const Stage kInitialStage = Stage::Transition;
#else
static const Stage kInitialStage = Stage::Target;
#endif

int orbMain(void* instance, int argc, char** argv) {
    return programMain(ProgramDefinition{kOrbstageProfile, runOrbstageFlow, kInitialStage}, instance, argc, argv);
}
