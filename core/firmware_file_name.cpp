#include "core/firmware_file_name.h"

#include "core/random.h"
#include "core/text.h"
#include "core/upgrade_context.h"

void formatFirmwareFileName(char* out, size_t size, unsigned number, const char* extension) {
    formatText(out, size, "/orb%x.%s", number, extension);
}

void drawFirmwareFileName(const char* extension) {
    unsigned number = static_cast<unsigned>(nextRandom()) & 0xFFFFu;
    char name[128];
    formatFirmwareFileName(name, sizeof name, number, extension);
    gContext.firmwareFileName.set(name);
}
