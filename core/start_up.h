// Fills the run's first fields before the first dialog; ends the process
// on a failure it cannot go on from.
#pragma once

void startUp();
