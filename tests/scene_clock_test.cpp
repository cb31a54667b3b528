// Scene time and frame pacing, driven through the scripted counter.
#include "support/scene_fixture.h"

using SceneClock = SceneTest;

TEST_F(SceneClock, OneSecondWindowSetsTheRateAndTheDelay) {
    for (int frame = 1; frame <= 24; ++frame) {  // 24 frames of 41 ms end at 984 ms: no sample yet
        platform::manual::advanceMilliseconds(41);
        scene->updateClock();
        ASSERT_EQ(scene->sleepMs, 74) << "frame " << frame;
    }
    platform::manual::advanceMilliseconds(16);  // 1.000 s: the sampling frame counts in neither window
    scene->updateClock();
    EXPECT_FLOAT_EQ(scene->measuredFps, 24.0f);
    EXPECT_EQ(scene->sleepMs, 84);  // previous rate 50: (41 - 20) / 2 = 10

    // {previous rate, delay before, delay after}: the step halves toward zero, rates truncate, 1..1000 clamp.
    const struct { float rate; int32_t before, after; } steps[] = {
        {25.9f, 74, 74}, {23.0f, 74, 73}, {26.0f, 74, 75}, {12.0f, 74, 53}, {13.0f, 74, 57},
        {0.5f, 74, 74}, {5000.0f, 74, 94}, {5000.0f, 990, 1000}, {1.0f, 5, 1}};
    for (const auto& s : steps) {
        scene->measuredFps = s.rate;
        scene->sleepMs = s.before;
        scene->lastFpsSampleTime = scene->clockSeconds;
        platform::manual::advanceMilliseconds(1001);  // clear of float rounding in the window
        scene->updateClock();
        EXPECT_EQ(scene->sleepMs, s.after) << s.rate << " from " << s.before;
    }
    // A window of exactly one second closes the sample: 2048 ms less the clock at 1048 ms is 1.0 to the last
    // bit (found by a search over millisecond counts).
    scene->lastFpsSampleTime = float(1048 * double(0.001f));
    platform::manual::setCounter(counterOrigin + 2048 * 1000);
    scene->updateClock();
    EXPECT_EQ(scene->framesSinceSample, 0);
}

TEST_F(SceneClock, MillisecondResolutionOverLongRuns) {
    platform::manual::setCounter(counterOrigin + 2999);  // sub-millisecond counts are dropped
    scene->updateClock();
    EXPECT_EQ(scene->clockSeconds, float(2 * double(0.001f)));

    // A nanosecond counter over 200 days, from a start 5 s in: counts x 1000 would overflow 64 bits.
    platform::manual::setFrequency(1000000000);
    platform::manual::setCounter(5000000000);
    scene->startClock();
    platform::manual::setCounter(int64_t(200) * 86400 * 1000000000 + 5123456789);
    scene->updateClock();
    EXPECT_EQ(scene->clockSeconds, float(double(int64_t(200) * 86400000 + 123) * double(0.001f)));
}
