// The program's pseudo-random numbers (0 to 32767), one state per thread as
// the platform C library keeps it; a thread that never seeds starts from 1.
// File names are drawn on the main thread, which start-up seeds from the clock.
#pragma once

void seedRandom(unsigned seed);
int nextRandom();
