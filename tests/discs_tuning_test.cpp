// The tuning keys: logarithmic wedge zoom with its clamps and even targets, spin pushes, reshuffle, G.
#include "support/scene_fixture.h"

using DiscTuning = SceneTest;

// One arrow step is 3^0.02 on the count (zoom 0.427022 from 10 wedges); the zoom stays in 0..1
// (4..36 wedges) and the target is the count truncated, made even. Each press stops the glide speed.
TEST_F(DiscTuning, ArrowsZoomByOneStepAndClamp) {
    DiscField& field = *scene->discField;
    struct Case { float from; uint32_t key; double count; int target; };
    for (Case c : {Case{10.0f, vk::right, 10.222, 10}, Case{11.3f, vk::right, 11.551, 12},
                   Case{4.0f, vk::left, 4.0, 4}, Case{36.0f, vk::right, 36.0, 36},
                   Case{94.0f, vk::right, 36.0, 36}, Case{94.0f, vk::left, 91.957, 92}}) {
        SCOPED_TRACE(c.from);
        scene->wedgeCount = c.from;
        field.wedgeGlide = false;
        field.wedgeGlideSpeed = 0.25f;
        field.handleTuningKey(c.key);
        EXPECT_NEAR(scene->wedgeCount, c.count, 1e-3);
        EXPECT_EQ(scene->wedgeAngle, 360.0f / scene->wedgeCount);
        EXPECT_EQ(field.targetWedgeCount, c.target);
        EXPECT_EQ(field.wedgeGlideSpeed, 0.0f);
        EXPECT_TRUE(field.wedgeGlide);
    }
}

TEST_F(DiscTuning, UpAddsSpinAndGTogglesTheGlide) {
    DiscField& field = *scene->discField;
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(scene->handleKey(vk::up));
    EXPECT_NEAR(field.spinRate, 0.0872664f, 1e-6);
    EXPECT_FALSE(scene->handleKey(vk::keyG));  // not consumed: the host closes on it
    EXPECT_TRUE(field.wedgeGlide);
    field.handleTuningKey(vk::keyG);
    EXPECT_FALSE(field.wedgeGlide);
}

// Down respawns the discs at the current time, opens a one-step palette segment and stops the glide.
TEST_F(DiscTuning, DownReshufflesDiscsPaletteAndWedgeCount) {
    DiscField& field = *scene->discField;
    for (int i = 0; i < 30; ++i) frameAfter(42);
    field.wedgeGlide = true;
    const bool sameCell = field.sameCell;
    scene->transitionActive = false;

    EXPECT_TRUE(scene->handleKey(vk::down));
    EXPECT_FALSE(field.wedgeGlide);
    EXPECT_EQ(field.paletteSteps, 1);
    EXPECT_NE(field.sameCell, sameCell);
    EXPECT_TRUE(scene->transitionActive);
    for (int i = 0; i < discCount; ++i) {
        EXPECT_EQ(field.discs[i].birthTime, scene->clockSeconds - float(i) * 0.016666668f * 20.0f) << i;
    }
}
