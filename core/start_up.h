// Fills the run's first fields before the first dialog; ends the run on a
// failure it cannot go on from.
#pragma once

#include <cstdint>

void startUp();

// Sets modelName and isPhone of the run from the target image's header.
void lookupModel(const uint8_t* header);
