// POSIX implementation of the core's platform services: monotonic clock, calendar time, embedded images.
#include "platform/platform.h"

#include <ctime>

#include "platform/embedded_resources.h"

namespace platform {

int64_t counterNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Nanoseconds fit 64 bits for about 292 years of uptime.
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t counterFrequency() { return 1000000000; }

int64_t calendarSeconds() { return int64_t(std::time(nullptr)); }

bool findImageResource(const char* name, ResourceData& out) { return findEmbeddedResource(name, out); }

}  // namespace platform
