// Scene time from the high-resolution counter, and the pacing delay that settles the loop near 24 fps.
#include "platform/platform.h"
#include "scene/kaleidoscope.h"

int64_t counterOrigin = 0;
int64_t counterFrequency = 1;

namespace {
// (elapsed x 1000) / frequency, split so that the product cannot overflow however long the run.
int64_t millisecondsSince(int64_t origin, int64_t now, int64_t frequency) {
    const int64_t elapsed = now - origin;
    return (elapsed / frequency) * 1000 + (elapsed % frequency) * 1000 / frequency;
}
}  // namespace

void Kaleidoscope::startClock() {
    counterFrequency = platform::counterFrequency();
    counterOrigin = platform::counterNow();
    framesSinceSample = 0;
    measuredFps = 50.0f;
    clockSeconds = 0.0f;
    lastKeyTime = 0.0f;
    lastFpsSampleTime = 0.0f;
}

void Kaleidoscope::updateClock() {
    const int64_t ms = millisecondsSince(counterOrigin, platform::counterNow(), counterFrequency);
    const double seconds = double(ms) * double(0.001f);
    clockSeconds = float(seconds);

    const double window = seconds - double(lastFpsSampleTime);
    if (window < 1.0) {
        ++framesSinceSample;
        return;
    }

    // The step uses the rate of the previous sample, not the one just measured.
    const int32_t previousRate = int32_t(measuredFps);
    measuredFps = float(double(framesSinceSample) / window);
    framesSinceSample = 0;
    lastFpsSampleTime = clockSeconds;
    if (previousRate > 0) sleepMs += (1000 / targetFps - 1000 / previousRate) / 2;
    if (sleepMs < 1) sleepMs = 1;
    if (sleepMs > 1000) sleepMs = 1000;
}
