// Fills the run's first fields before the first dialog; stops the run on a
// failure it cannot go on from.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/program_profile.h"

class Run;

void startUp(Run& run);

// Sets modelName and isPhone of the run from the target image's header.
void lookupModel(Run& run, const uint8_t* header);
// The model name (and phone flag) an image's header gives in the profile's
// table, or the generic name for an unknown product code.
void modelNameOf(const ProgramProfile& profile, const uint8_t* header, char* name, size_t size, bool* phone);
