// The facts a device lists on its pages as label and value cells.
#pragma once

#include <cstddef>

#include "net/http/device_facts.h"

// The text behind the label's closing '>' and any tags that follow at once,
// up to the next '<', the end of the page or limit characters (no trimming,
// no entity decoding), cut to fit fieldSize. Returns field, or nullptr with
// the field untouched when the label or the end of a tag is missing.
char* extractPageField(const char* page, size_t pageLength, const char* label, char* field, size_t fieldSize,
                       size_t limit);
char* extractPageField(const char* page, const char* label, char* field, size_t fieldSize, size_t limit);

// Refreshes the five facts from page[0, pageLength); a label the page lacks
// leaves its fact as it was. Returns the FactBits of the facts found.
unsigned extractDeviceFacts(const char* page, size_t pageLength, DeviceFacts* facts);
unsigned extractDeviceFacts(const char* page, DeviceFacts* facts);

const size_t kPageFieldLimit = 127;
