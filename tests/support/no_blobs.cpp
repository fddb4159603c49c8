// Test binaries carry no embedded images unless a test adds its own.
#include <cstdint>

struct EmbeddedBlob {
    unsigned id;
    const char* type;
    const uint8_t* begin;
    const uint8_t* end;
};
extern "C" const EmbeddedBlob orbEmbeddedBlobs[] = {{0, nullptr, nullptr, nullptr}};
