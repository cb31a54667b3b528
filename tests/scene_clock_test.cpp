// Scene time and frame pacing, driven through the scripted counter.
#include "support/scene_fixture.h"

using SceneClock = SceneTest;

namespace {
// Forces the next updateClock to take a sample, with `previousRate` as the rate of the last one.
int32_t sleepAfterSample(Kaleidoscope& scene, float previousRate, int32_t sleepBefore) {
    scene.measuredFps = previousRate;
    scene.sleepMs = sleepBefore;
    scene.lastFpsSampleTime = scene.clockSeconds;
    platform::manual::advanceMilliseconds(1001);  // clear of float rounding in the window
    scene.updateClock();
    return scene.sleepMs;
}
}  // namespace

TEST_F(SceneClock, FirstSampleAtOneSecondRaisesTheDelayFrom74To84) {
    for (int frame = 1; frame <= 24; ++frame) {
        platform::manual::advanceMilliseconds(41);  // 24 frames end at 984 ms
        scene->updateClock();
        ASSERT_EQ(scene->sleepMs, 74) << "frame " << frame;
    }
    EXPECT_EQ(scene->framesSinceSample, 24);
    EXPECT_FLOAT_EQ(scene->clockSeconds, 0.984f);

    platform::manual::advanceMilliseconds(16);  // 1.000 s: the sampling frame
    scene->updateClock();
    EXPECT_EQ(scene->clockSeconds, float(1000 * double(0.001f)));
    EXPECT_EQ(scene->framesSinceSample, 0);  // the sampling frame counts in neither window
    EXPECT_EQ(scene->lastFpsSampleTime, scene->clockSeconds);
    EXPECT_FLOAT_EQ(scene->measuredFps, 24.0f);
    EXPECT_EQ(scene->sleepMs, 84);  // previous rate 50: (41 - 20) / 2 = 10

    // The window was 1000 x 0.001f = 1.00000005 s, so the rate is 23.999..., which truncates to 23
    // for the next step: (41 - 43) / 2 = -1.
    platform::manual::advanceMilliseconds(1001);
    scene->updateClock();
    EXPECT_EQ(scene->sleepMs, 83);
    EXPECT_EQ(scene->measuredFps, 0.0f);  // no frames counted in that window
}

TEST_F(SceneClock, PacingStepsHalveTowardZeroAndClamp) {
    EXPECT_EQ(sleepAfterSample(*scene, 24.0f, 74), 74);
    EXPECT_EQ(sleepAfterSample(*scene, 25.9f, 74), 74);   // truncated to 25: 1000 / 25 = 40, (41 - 40) / 2 = 0
    EXPECT_EQ(sleepAfterSample(*scene, 23.0f, 74), 73);   // (41 - 43) / 2 = -1
    EXPECT_EQ(sleepAfterSample(*scene, 26.0f, 74), 75);   // (41 - 38) / 2 = 1
    EXPECT_EQ(sleepAfterSample(*scene, 12.0f, 74), 53);   // (41 - 83) / 2 = -21
    EXPECT_EQ(sleepAfterSample(*scene, 0.5f, 74), 74);    // a rate of 0 changes nothing
    EXPECT_EQ(sleepAfterSample(*scene, 5000.0f, 74), 94); // 1000 / 5000 = 0: +20
    EXPECT_EQ(sleepAfterSample(*scene, 5000.0f, 990), 1000);
    EXPECT_EQ(sleepAfterSample(*scene, 1.0f, 5), 1);      // (41 - 1000) / 2 = -479
    EXPECT_EQ(sleepAfterSample(*scene, 1.0f, 1), 1);
}

TEST_F(SceneClock, MillisecondResolutionOverLongRuns) {
    platform::manual::advanceMilliseconds(1);
    scene->updateClock();
    EXPECT_EQ(scene->clockSeconds, float(double(0.001f)));

    // Sub-millisecond counts are dropped, not rounded.
    platform::manual::setCounter(counterOrigin + 2999);
    scene->updateClock();
    EXPECT_EQ(scene->clockSeconds, float(2 * double(0.001f)));

    // A nanosecond counter over 200 days: counts x 1000 would overflow 64 bits.
    platform::manual::setFrequency(1000000000);
    scene->startClock();
    const int64_t days200 = int64_t(200) * 86400 * 1000000000;
    platform::manual::setCounter(days200 + 123456789);
    scene->updateClock();
    EXPECT_EQ(scene->clockSeconds, float(double(int64_t(200) * 86400000 + 123) * double(0.001f)));
    EXPECT_GT(scene->clockSeconds, 17e6f);
}
