// The name under which the image is offered: "/orb%x.<extension>", drawn
// on the main thread; the listener compares read requests with it.
#pragma once

#include <cstddef>

class Run;

// "/orb%x.<extension>" with the number in lower-case hex, no leading zeros.
void formatFirmwareFileName(char* out, size_t size, unsigned number, const char* extension);
// Draws the next number (masked to 16 bits) into the run's firmwareFileName.
void drawFirmwareFileName(Run& run, const char* extension);
