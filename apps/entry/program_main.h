// The one entry of both programs: without arguments the wizard, with them
// the command line for one device, or a fleet of child processes.
#pragma once

#include "core/program_profile.h"
#include "core/run_context.h"

class Run;

struct ProgramDefinition {
    const ProgramProfile& profile;
    void (*flow)(Run&);  // the main thread's walk through the run
    Stage initialStage;  // a staged orbstage serves its transition image first
};

// The process's exit code.
int programMain(const ProgramDefinition& program, void* instance, int argc, char** argv);
