#include "core/random.h"

#include "core/text.h"
#include "core/upgrade_context.h"

// The Windows C library's rand: same numbers from the same seed on both builds.
static thread_local unsigned randomState = 1;

void seedRandom(unsigned seed) { randomState = seed; }

int nextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

void formatFirmwareFileName(char* out, size_t size, unsigned number, const char* extension) {
    formatText(out, size, "/orb%x.%s", number, extension);
}

void drawFirmwareFileName(const char* extension) {
    unsigned number = static_cast<unsigned>(nextRandom()) & 0xFFFFu;
    formatFirmwareFileName(gContext.firmwareFileName, sizeof gContext.firmwareFileName, number, extension);
}
