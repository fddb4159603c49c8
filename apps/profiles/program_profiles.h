// The two programs' fixed choices: model tables, resources, limits, waits.
#pragma once

#include "core/program_profile.h"

extern const ProgramProfile kOrbflashProfile;
extern const ProgramProfile kOrbstageProfile;
