// Fills the run's first fields before the first dialog; stops the run on a
// failure it cannot go on from.
#pragma once

#include <cstdint>

class Run;

void startUp(Run& run);

// Sets modelName and isPhone of the run from the target image's header.
void lookupModel(Run& run, const uint8_t* header);
