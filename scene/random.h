// The system's own random generator: the Windows C runtime's rand/srand on every platform,
// so that one seed gives one and the same kaleidoscope everywhere.
#pragma once

#include <cstdint>

namespace crt {

constexpr int randMax = 32767;

void srand(uint32_t seed);
int rand();  // 0 .. 32767

}  // namespace crt

// rand() scaled by the float nearest 1/32767, the product rounded to a 32-bit float.
constexpr float randomFractionScale = 3.0518509e-05f;
inline float randomFraction() { return float(crt::rand()) * randomFractionScale; }

// A random index 0 .. n - 1. In 32-bit floats rand() = 32767 gives a fraction of exactly 1, so
// trunc(fraction x n) would be n: that one value is kept at n - 1, where a wider product puts it too.
inline int32_t randomIndex(int32_t n) {
    const int32_t index = int32_t(randomFraction() * float(n));
    return index < n ? index : n - 1;
}
