// The few services the portable core needs from the operating system; one implementation per platform.
#pragma once

#include <cstdint>

namespace platform {

// High-resolution counter and its counts per second (never 0).
int64_t counterNow();
int64_t counterFrequency();

// Calendar time in whole seconds, used only to seed the random generator.
int64_t calendarSeconds();

// One named image resource kept inside the executable, as one contiguous block.
struct ResourceData {
    const unsigned char* bytes = nullptr;
    uint32_t size = 0;
};

// Finds an image resource by name ("JPEG_DISCS_MASK", "LOGO_MASK"); false when there is none.
bool findImageResource(const char* name, ResourceData& out);

}  // namespace platform
