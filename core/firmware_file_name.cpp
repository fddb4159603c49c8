#include "core/firmware_file_name.h"

#include "base/random.h"
#include "base/text.h"
#include "core/run.h"

void formatFirmwareFileName(char* out, size_t size, unsigned number, const char* extension) {
    formatText(out, size, "/orb%x.%s", number, extension);
}

void drawFirmwareFileName(Run& run, const char* extension) {
    unsigned number = static_cast<unsigned>(nextRandom()) & 0xFFFFu;
    char name[128];
    formatFirmwareFileName(name, sizeof name, number, extension);
    run.context().firmwareFileName.set(name);
}
