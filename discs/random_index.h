// A random index 0 .. n - 1 from randomFraction(), for the disc field's sources (pairs with scene/random.h).
#pragma once

#include <cstdint>

#include "scene/random.h"

// In 32-bit floats rand() = 32767 gives a fraction of exactly 1, so trunc(fraction x n) would be n:
// that one value is kept at n - 1, where a wider product would have put it too.
inline int32_t randomIndex(int32_t n) {
    const int32_t index = int32_t(randomFraction() * float(n));
    return index < n ? index : n - 1;
}
