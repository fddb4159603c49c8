#include "platform/platform_random.h"

#include <windows.h>
#include <bcrypt.h>

unsigned osRandom15() {
    unsigned short value = 0;
    BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    return value & 0x7FFFu;
}
