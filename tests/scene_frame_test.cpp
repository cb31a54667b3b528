// The frame driver: eased wedge-count transitions, the random count, the key table and the frame options.
#include "support/scene_fixture.h"

#include <set>

#include "scene/random.h"

class FrameDriver : public SceneTest {
protected:
    // Frames of 50 ms until the construction's first transition has landed.
    void settle() {
        for (int i = 0; i < 50 && scene->transitionActive; ++i) frameAfter(50);
    }
};

TEST_F(FrameDriver, DigitFiveEasesFrom36To26WedgesOverTwoSeconds) {
    settle();
    ASSERT_FALSE(scene->transitionActive);
    scene->wedgeAngle = 36.0f;
    EXPECT_TRUE(scene->handleKey('5'));
    EXPECT_EQ(scene->wedgeCount, 26.0f);
    EXPECT_EQ(scene->transitionFrom, 36.0f);
    EXPECT_FLOAT_EQ(scene->transitionTo, 13.846154f);

    frameAfter(1000);
    EXPECT_NEAR(scene->wedgeAngle, 36.0f + 0.5f * (13.846154f - 36.0f), 1e-5f);
    EXPECT_TRUE(scene->transitionActive);
    frameAfter(999);
    EXPECT_TRUE(scene->transitionActive);
    frameAfter(1);
    EXPECT_FALSE(scene->transitionActive);
    EXPECT_EQ(scene->wedgeAngle, 360.0f / 26.0f);
    EXPECT_EQ(scene->wedgesToDraw, 26);

    const int row[] = {46, 10, 14, 18, 22, 26, 30, 34, 38, 42};  // 0 comes after 9
    for (uint32_t code = vk::digit0; code <= vk::digit9; ++code) {
        EXPECT_TRUE(scene->handleKey(code));
        EXPECT_EQ(scene->wedgeCount, float(row[code - vk::digit0])) << code;
    }
}

TEST_F(FrameDriver, ATransitionOverridesOtherAngleChangesAndRestartsWithoutAJump) {
    settle();
    scene->handleKey('1');  // 10 wedges
    frameAfter(500);
    const float shown = scene->wedgeAngle;
    scene->wedgeAngle = 5.0f;  // as a glide or an arrow key would between frames
    frameAfter(0);
    EXPECT_EQ(scene->wedgeAngle, shown);

    // Two digits before one frame: the second eases from the first one's target.
    scene->handleKey('2');
    scene->handleKey('3');
    EXPECT_EQ(scene->transitionFrom, 360.0f / 14.0f);
    EXPECT_EQ(scene->wedgeCount, 18.0f);
    frameAfter(0);
    EXPECT_EQ(scene->wedgeAngle, 360.0f / 14.0f);
    frameAfter(2000);
    EXPECT_EQ(scene->wedgeAngle, 20.0f);

    // A digit while running starts from the angle last shown.
    scene->handleKey('0');  // 46 wedges
    frameAfter(700);
    const float midway = scene->wedgeAngle;
    scene->handleKey('9');
    EXPECT_EQ(scene->transitionFrom, midway);
    frameAfter(0);
    EXPECT_EQ(scene->wedgeAngle, midway);
}

TEST_F(FrameDriver, ChooseWedgeCountDrawsTwiceAndPicksFromItsSets) {
    // Two draws per call: the generator stands exactly two values further on.
    crt::srand(77);
    scene->wedgeCount = 10.0f;
    scene->chooseWedgeCount();
    const int after = crt::rand();
    crt::srand(77);
    crt::rand();
    crt::rand();
    EXPECT_EQ(crt::rand(), after);

    std::set<int> fromLow, fromHigh;
    crt::srand(5);
    for (int i = 0; i < 4000; ++i) {
        scene->wedgeCount = 10.0f;
        scene->chooseWedgeCount();
        fromLow.insert(int(scene->wedgeCount));
        scene->wedgeCount = 24.0f;
        scene->chooseWedgeCount();
        fromHigh.insert(int(scene->wedgeCount));
    }
    EXPECT_EQ(fromHigh, (std::set<int>{10, 12, 14, 16, 18, 20, 22, 24}));
    std::set<int> wide{10, 12, 14, 16, 18, 20, 22, 24};
    for (int c = 26; c <= 94; c += 4) wide.insert(c);
    EXPECT_EQ(fromLow, wide);

    EXPECT_TRUE(scene->transitionActive);
    EXPECT_EQ(scene->transitionDuration, 2.0f);
    EXPECT_EQ(scene->transitionTo, 360.0f / scene->wedgeCount);
}

// rand() = 32767 scales to exactly 1.0f: the count must still come from the set.
TEST_F(FrameDriver, ChooseWedgeCountWithTheLargestRandomValues) {
    // Find seeds whose next two values are 32767 for the second draw in each branch.
    auto seedGiving = [](auto wanted) {
        for (uint32_t seed = 0;; ++seed) {
            crt::srand(seed);
            const int a = crt::rand(), b = crt::rand();
            if (wanted(a, b)) return seed;
        }
    };
    crt::srand(seedGiving([](int a, int b) { return a <= 8191 && b == 32767; }));
    scene->wedgeCount = 10.0f;
    scene->chooseWedgeCount();
    EXPECT_EQ(scene->wedgeCount, 94.0f);

    crt::srand(seedGiving([](int a, int b) { return a > 8191 && b == 32767; }));
    scene->chooseWedgeCount();
    EXPECT_EQ(scene->wedgeCount, 24.0f);
}

TEST_F(FrameDriver, KeyTable) {
    scene->clockSeconds = 12.5f;
    EXPECT_TRUE(scene->handleKey(vk::space));
    EXPECT_EQ(scene->lastKeyTime, 12.5f);
    EXPECT_FALSE(scene->transitionActive && scene->transitionStart == 12.5f);

    EXPECT_TRUE(scene->handleKey(vk::keyM));
    EXPECT_TRUE(scene->mirrorsOff);
    EXPECT_TRUE(scene->handleKey(vk::keyS));
    EXPECT_TRUE(scene->glowOff);
    EXPECT_TRUE(scene->handleKey(vk::keyM));
    EXPECT_FALSE(scene->mirrorsOff);

    for (uint32_t arrow : {vk::left, vk::up, vk::right, vk::down}) EXPECT_TRUE(scene->handleKey(arrow));

    // G reaches the disc field but ends the saver: it is not consumed.
    const bool glide = scene->discField->wedgeGlide;
    scene->clockSeconds = 20.0f;
    EXPECT_FALSE(scene->handleKey(vk::keyG));
    EXPECT_NE(scene->discField->wedgeGlide, glide);
    EXPECT_EQ(scene->lastKeyTime, 20.0f);

    // Keypad digits, Escape, Return and lower-case letter codes are passed on, not consumed.
    const float count = scene->wedgeCount;
    for (uint32_t code : {96u, 101u, 105u, 27u, 13u, uint32_t('m'), uint32_t('s')})
        EXPECT_FALSE(scene->handleKey(code)) << code;
    EXPECT_EQ(scene->wedgeCount, count);
    EXPECT_FALSE(scene->mirrorsOff);
}

TEST_F(FrameDriver, MirroringNeedsTheOptionBitAndNoToggle) {
    for (uint32_t options : {frameOptionMirrors, ~frameOptionMirrors, frameOptionMirrors | 1u}) {
        EXPECT_TRUE(scene->drawFrame(options));
        EXPECT_EQ(scene->mirrorThisFrame, (options & frameOptionMirrors) != 0) << options;
    }
    scene->handleKey(vk::keyM);
    scene->drawFrame(frameOptionMirrors);
    EXPECT_FALSE(scene->mirrorThisFrame);
}

TEST_F(FrameDriver, IdleReshuffleEveryFortySeconds) {
    settle();
    scene->handleKey(vk::space);
    const float keyTime = scene->lastKeyTime;
    int reshuffles = 0;
    float lastStart = scene->transitionStart;
    for (int frame = 0; frame < 2000; ++frame) {  // 100 s of 50 ms steps, without drawing
        platform::manual::advanceMilliseconds(50);
        scene->advance();
        if (scene->transitionStart != lastStart) {
            ++reshuffles;
            lastStart = scene->transitionStart;
            EXPECT_GT(scene->clockSeconds - keyTime, 40.0f * reshuffles - 0.1f);
        }
    }
    EXPECT_EQ(reshuffles, 2);
}
