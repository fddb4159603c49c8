#include "core/program_profile.h"

// Set by each program's entry (and by tests) before anything reads it.
const ProgramProfile* gProgram = nullptr;
