// Scripted implementation of the core's platform services; see manual.h.
#include "platform/manual.h"

#include <map>
#include <string>

#include "platform/embedded_resources.h"
#include "platform/platform.h"

namespace {
int64_t counter = 0;
int64_t frequency = platform::manual::defaultFrequency;
int64_t calendar = 0;

struct Block {
    const unsigned char* bytes;
    uint32_t size;
};
std::map<std::string, Block>& extraResources() {
    static std::map<std::string, Block> resources;
    return resources;
}
}  // namespace

namespace platform {

int64_t counterNow() { return counter; }
int64_t counterFrequency() { return frequency; }
int64_t calendarSeconds() { return calendar; }

bool findImageResource(const char* name, ResourceData& out) {
    auto found = extraResources().find(name);
    if (found == extraResources().end()) return findEmbeddedResource(name, out);
    if (!found->second.bytes) return false;
    out.bytes = found->second.bytes;
    out.size = found->second.size;
    return true;
}

namespace manual {

void setFrequency(int64_t countsPerSecond) {
    frequency = countsPerSecond;
    counter = 0;
}
void setCounter(int64_t counts) { counter = counts; }
void advanceMilliseconds(int64_t ms) { counter += ms * (frequency / 1000); }
void setCalendarSeconds(int64_t seconds) { calendar = seconds; }
void setResource(const char* name, const unsigned char* bytes, uint32_t size) {
    extraResources()[name] = Block{bytes, size};
}
void clearResources() { extraResources().clear(); }

}  // namespace manual
}  // namespace platform
