#include "platform/platform_random.h"

#include <sys/random.h>

unsigned osRandom15() {
    unsigned short value = 0;
    while (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {}
    return value & 0x7FFFu;
}
