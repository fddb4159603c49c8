// The name under which the image is offered: "/orb%x.<extension>", drawn
// on the main thread. In orbstage the main thread draws a new one while the
// listener thread compares read requests with it, so both go through here.
#pragma once

#include <cstddef>

// "/orb%x.<extension>" with the number in lower-case hex, no leading zeros.
void formatFirmwareFileName(char* out, size_t size, unsigned number, const char* extension);
// Draws the next number (masked to 16 bits) into firmwareFileName.
void drawFirmwareFileName(const char* extension);
// Puts a given name into firmwareFileName (bounded).
void setFirmwareFileName(const char* name);
// Whether a requested name is exactly firmwareFileName.
bool firmwareFileNameIs(const char* name);
