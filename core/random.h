// The program's pseudo-random numbers (0 to 32767), one state per thread as
// the platform C library keeps it; a thread that never seeds starts from 1.
// File names are drawn on the main thread, which start-up seeds from the clock.
#pragma once

#include <cstddef>

void seedRandom(unsigned seed);
int nextRandom();

// "/orb%x.<extension>" with the number in lower-case hex, no leading zeros.
void formatFirmwareFileName(char* out, size_t size, unsigned number, const char* extension);
// Draws the next number (masked to 16 bits) into firmwareFileName.
void drawFirmwareFileName(const char* extension);
