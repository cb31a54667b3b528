// A scripted platform for headless renders and tests: the counter moves only when told, and
// extra named resources can be added beside the embedded images.
#pragma once

#include <cstdint>

namespace platform::manual {

constexpr int64_t defaultFrequency = 1000000;  // counts per second (microseconds)

void setFrequency(int64_t countsPerSecond);  // also resets the counter to 0
void setCounter(int64_t counts);
void advanceMilliseconds(int64_t ms);
void setCalendarSeconds(int64_t seconds);

// Registers (or, with bytes null, removes) a resource; it hides an embedded one of the same name.
void setResource(const char* name, const unsigned char* bytes, uint32_t size);
void clearResources();

}  // namespace platform::manual
