#include "base/random.h"

// The Windows C library's rand: same numbers from the same seed on both builds.
static thread_local unsigned randomState = 1;

void seedRandom(unsigned seed) { randomState = seed; }

int nextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFFu);
}
