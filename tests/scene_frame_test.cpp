// The frame driver: eased wedge-count transitions, the random count, the key table and the frame options.
#include "support/scene_fixture.h"

#include <set>

#include "scene/random.h"

class FrameDriver : public SceneTest {
protected:
    // Frames of 50 ms until the construction's first transition has landed.
    void settle() {
        for (int i = 0; i < 50 && scene->transitionActive; ++i) frameAfter(50);
        ASSERT_FALSE(scene->transitionActive);
    }
};

TEST_F(FrameDriver, DigitsEaseOverTwoSecondsAndRestartWithoutAJump) {
    settle();
    scene->wedgeAngle = 36.0f;
    EXPECT_TRUE(scene->handleKey('5'));  // 26 wedges
    frameAfter(1000);
    EXPECT_NEAR(scene->wedgeAngle, 36.0f + 0.5f * (360.0f / 26.0f - 36.0f), 1e-5f);
    scene->wedgeAngle = 5.0f;  // as a glide or an arrow key would between frames: the transition wins
    frameAfter(999);
    EXPECT_TRUE(scene->transitionActive);
    frameAfter(1);
    EXPECT_FALSE(scene->transitionActive);
    EXPECT_EQ(scene->wedgeAngle, 360.0f / 26.0f);
    EXPECT_EQ(scene->wedgesToDraw, 26);

    // A digit while running starts from the angle last shown.
    scene->handleKey('3');
    frameAfter(700);
    const float midway = scene->wedgeAngle;
    scene->handleKey('9');
    frameAfter(0);
    EXPECT_EQ(scene->wedgeAngle, midway);

    const int row[] = {46, 10, 14, 18, 22, 26, 30, 34, 38, 42};  // 0 comes after 9
    for (uint32_t code = vk::digit0; code <= vk::digit9; ++code) {
        EXPECT_TRUE(scene->handleKey(code));
        EXPECT_EQ(scene->wedgeCount, float(row[code - vk::digit0])) << code;
    }
}

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

TEST_F(FrameDriver, KeysPassedOn) {
    // G reaches the disc field but ends the saver: it is not consumed.
    const bool glide = scene->discField->wedgeGlide;
    EXPECT_FALSE(scene->handleKey(vk::keyG));
    EXPECT_NE(scene->discField->wedgeGlide, glide);
    // Keypad digits, Escape, Return and lower-case letter codes are passed on and change nothing.
    const float count = scene->wedgeCount;
    for (uint32_t code : {96u, 101u, 105u, 27u, 13u, uint32_t('m'), uint32_t('s')})
        EXPECT_FALSE(scene->handleKey(code)) << code;
    EXPECT_EQ(scene->wedgeCount, count);
    EXPECT_FALSE(scene->mirrorsOff);
}

TEST_F(FrameDriver, IdleReshuffleEveryFortySecondsAfterTheLastKey) {
    settle();
    scene->handleKey(vk::space);
    const float keyTime = scene->lastKeyTime;
    int reshuffles = 0;
    float lastStart = scene->transitionStart;
    for (int frame = 0; frame < 2000; ++frame) {  // 100 s of 50 ms steps, without drawing
        platform::manual::advanceMilliseconds(50);
        scene->advance();
        if (scene->transitionStart == lastStart) continue;
        lastStart = scene->transitionStart;
        EXPECT_GT(scene->clockSeconds - keyTime, 40.0f * ++reshuffles - 0.1f);
    }
    EXPECT_EQ(reshuffles, 2);
}
