#include "platform/platform_resource.h"

#include <windows.h>

bool findEmbeddedResource(unsigned id, const char* type, const uint8_t** data, uint32_t* size) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
    if (!found) return false;
    DWORD length = SizeofResource(nullptr, found);
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) return false;
    const void* bytes = LockResource(loaded);
    if (!bytes) return false;
    *data = static_cast<const uint8_t*>(bytes);
    *size = length;
    return true;
}
