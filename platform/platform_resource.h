// Blobs embedded in the executable, looked up by numeric id and type name.
// The bytes are mapped with the program and never copied.
#pragma once

#include <cstdint>

bool findEmbeddedResource(unsigned id, const char* type, const uint8_t** data, uint32_t* size);
