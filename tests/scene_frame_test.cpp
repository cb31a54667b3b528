// The frame driver: the random wedge count and which keys are consumed.
#include "support/scene_fixture.h"

#include <set>

#include "scene/random.h"

using FrameDriver = SceneTest;

// The wide set is taken for the first draw's rand() up to 8191, one chance in four, from counts below 24.
TEST_F(FrameDriver, ChooseWedgeCountPicksFromItsSets) {
    for (int first : {8191, 8192}) {
        crt::srand(seedForFirstRand(first));
        crt::rand();
        const float second = float(crt::rand()) * randomFractionScale;
        crt::srand(seedForFirstRand(first));
        scene->wedgeCount = 10.0f;
        scene->chooseWedgeCount();
        const int wide = 10 + 4 * int(second * 22.0f), narrow = 10 + 2 * int(second * 8.0f);
        ASSERT_NE(wide, narrow);
        EXPECT_EQ(scene->wedgeCount, float(first == 8191 ? wide : narrow)) << first;
    }

    std::set<int> fromLow, fromHigh, wide{10, 12, 14, 16, 18, 20, 22, 24};
    for (int c = 26; c <= 94; c += 4) wide.insert(c);
    // Seeds 0..3999, and later ones whose second value is 32767, which scales to exactly 1.0f.
    for (uint32_t seed = 0; seed < 900000; ++seed) {
        crt::srand(seed);
        crt::rand();
        if (seed >= 4000 && crt::rand() != crt::randMax) continue;
        for (float from : {10.0f, 24.0f}) {
            crt::srand(seed);
            scene->wedgeCount = from;
            scene->chooseWedgeCount();
            (from < 24.0f ? fromLow : fromHigh).insert(int(scene->wedgeCount));
        }
    }
    EXPECT_EQ(fromHigh, (std::set<int>{10, 12, 14, 16, 18, 20, 22, 24}));
    EXPECT_EQ(fromLow, wide);
}

// Eased transitions, the digit row and the idle reshuffle are pinned by the golden run; here, what a key returns.
TEST_F(FrameDriver, KeysConsumedAndPassedOn) {
    for (uint32_t code : {vk::space, vk::left, vk::up, vk::right, vk::down, vk::digit0, vk::digit9, vk::keyM, vk::keyS})
        EXPECT_TRUE(scene->handleKey(code)) << code;
    // G reaches the disc field but ends the saver: it is not consumed.
    const bool glide = scene->discField->wedgeGlide;
    EXPECT_FALSE(scene->handleKey(vk::keyG));
    EXPECT_NE(scene->discField->wedgeGlide, glide);
    // Keypad digits, Escape, Return and lower-case letter codes are passed on and change nothing.
    const float count = scene->wedgeCount;
    const bool mirrorsOff = scene->mirrorsOff;
    for (uint32_t code : {96u, 101u, 105u, 27u, 13u, uint32_t('m'), uint32_t('s')})
        EXPECT_FALSE(scene->handleKey(code)) << code;
    EXPECT_EQ(scene->wedgeCount, count);
    EXPECT_EQ(scene->mirrorsOff, mirrorsOff);
}
