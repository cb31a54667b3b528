// Linear congruential generator of the Windows C runtime, in 32-bit unsigned arithmetic.
#include "scene/random.h"

namespace {
uint32_t randomState = 1;
}

namespace crt {

void srand(uint32_t seed) { randomState = seed; }

int rand() {
    randomState = randomState * 214013u + 2531011u;
    return int((randomState >> 16) & 0x7FFFu);
}

}  // namespace crt
