#include "platform/platform_resource.h"

#include <cstring>

// Filled in by the program's generated resource table (the blobs are placed
// into the executable with .incbin at build time).
struct EmbeddedBlob {
    unsigned id;
    const char* type;
    const uint8_t* begin;
    const uint8_t* end;
};
extern "C" const EmbeddedBlob orbEmbeddedBlobs[];

bool findEmbeddedResource(unsigned id, const char* type, const uint8_t** data, uint32_t* size) {
    for (const EmbeddedBlob* blob = orbEmbeddedBlobs; blob->type; ++blob) {
        if (blob->id == id && std::strcmp(blob->type, type) == 0) {
            *data = blob->begin;
            *size = static_cast<uint32_t>(blob->end - blob->begin);
            return true;
        }
    }
    return false;
}
