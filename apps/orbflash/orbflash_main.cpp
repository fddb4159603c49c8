#include "apps/entry/program_main.h"
#include "apps/orbflash/orbflash_flow.h"
#include "apps/profiles/program_profiles.h"
#include "platform/program_entry.h"

int orbMain(void* instance, int argc, char** argv) {
    return programMain(ProgramDefinition{kOrbflashProfile, runOrbflashFlow, Stage::Target}, instance, argc, argv);
}
