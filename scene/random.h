// The system's own random generator: the Windows C runtime's rand/srand on every platform,
// so that one seed gives one and the same kaleidoscope everywhere.
#pragma once

#include <cstdint>

namespace crt {

constexpr int randMax = 32767;

void srand(uint32_t seed);
int rand();  // 0 .. 32767

}  // namespace crt

// rand() scaled by the float just below 1/32767: trunc(randomFraction() * n) always lies in 0 .. n - 1.
constexpr float randomFractionScale = 3.0518509e-05f;
inline float randomFraction() { return float(crt::rand()) * randomFractionScale; }
