#include "core/firmware_file_name.h"

#include <atomic>
#include <cstring>

#include "core/random.h"
#include "core/text.h"
#include "core/upgrade_context.h"

namespace {

// Held only for a copy or a comparison of a few bytes.
std::atomic_flag nameBusy = ATOMIC_FLAG_INIT;

void lockName() {
    while (nameBusy.test_and_set(std::memory_order_acquire)) {
    }
}

void unlockName() { nameBusy.clear(std::memory_order_release); }

}  // namespace

void formatFirmwareFileName(char* out, size_t size, unsigned number, const char* extension) {
    formatText(out, size, "/orb%x.%s", number, extension);
}

void drawFirmwareFileName(const char* extension) {
    unsigned number = static_cast<unsigned>(nextRandom()) & 0xFFFFu;
    char name[sizeof gContext.firmwareFileName];
    formatFirmwareFileName(name, sizeof name, number, extension);
    setFirmwareFileName(name);
}

void setFirmwareFileName(const char* name) {
    lockName();
    copyText(gContext.firmwareFileName, sizeof gContext.firmwareFileName, name);
    unlockName();
}

bool firmwareFileNameIs(const char* name) {
    lockName();
    bool same = std::strcmp(name, gContext.firmwareFileName) == 0;
    unlockName();
    return same;
}
