// The tuning keys: logarithmic wedge zoom with its clamps and even targets, spin pushes, reshuffle, G.
#include <cmath>

#include "support/scene_fixture.h"

class DiscTuning : public SceneTest {
protected:
    DiscField& field() { return *scene->discField; }
    void press(float fromCount, uint32_t key) {
        scene->wedgeCount = fromCount;
        field().wedgeGlideSpeed = 0.25f;
        field().handleTuningKey(key);
    }
    void expectCount(double count, int target) {
        EXPECT_NEAR(scene->wedgeCount, count, 1e-3);
        EXPECT_EQ(scene->wedgeAngle, 360.0f / scene->wedgeCount);
        EXPECT_EQ(field().targetWedgeCount, target);
        EXPECT_EQ(field().wedgeGlideSpeed, 0.0f);
    }
};

TEST_F(DiscTuning, ArrowsZoomByOneStepAndClamp) {
    const double step = std::pow(3.0, 0.02);
    press(10.0f, vk::right);  // zoom 0.427022
    expectCount(10.0 * step, 10);
    EXPECT_NEAR(scene->wedgeCount, 10.222, 1e-3);
    EXPECT_TRUE(field().wedgeGlide);

    field().wedgeGlide = false;
    press(11.3f, vk::right);  // 11.55 truncates to 11, odd: target 12
    expectCount(11.3 * step, 12);
    EXPECT_TRUE(field().wedgeGlide);

    press(4.0f, vk::left);
    expectCount(4.0, 4);
    press(36.0f, vk::right);
    expectCount(36.0, 36);
    press(94.0f, vk::right);  // beyond the zoom range: back to 36 at once
    expectCount(36.0, 36);
    press(94.0f, vk::left);
    expectCount(94.0 / step, 92);
    EXPECT_NEAR(scene->wedgeCount, 91.96, 0.01);

    field().setWedgeZoom(0.5f);
    EXPECT_EQ(scene->wedgeCount, 12.0f);
    EXPECT_EQ(scene->wedgeAngle, 30.0f);
    EXPECT_EQ(field().targetWedgeCount, 12);
    field().setWedgeZoom(0.0f);
    EXPECT_EQ(scene->wedgeCount, 4.0f);
    field().setWedgeZoom(1.0f);
    EXPECT_EQ(scene->wedgeCount, 36.0f);
}

TEST_F(DiscTuning, UpAddsSpinAndGTogglesTheGlide) {
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(scene->handleKey(vk::up));
    EXPECT_NEAR(field().spinRate, 0.0872664f, 1e-6);
    const float count = scene->wedgeCount;
    EXPECT_FALSE(scene->handleKey(vk::keyG));  // not consumed: the host closes on it
    EXPECT_TRUE(field().wedgeGlide);
    EXPECT_EQ(field().targetWedgeCount, 10);
    EXPECT_EQ(scene->wedgeCount, count);
    field().handleTuningKey(vk::keyG);
    EXPECT_FALSE(field().wedgeGlide);
    field().handleTuningKey(65);  // any other key does nothing
    EXPECT_FALSE(field().wedgeGlide);
    EXPECT_NEAR(field().spinRate, 0.0872664f, 1e-6);
}

TEST_F(DiscTuning, DownReshufflesDiscsPaletteAndWedgeCount) {
    for (int i = 0; i < 30; ++i) frameAfter(42);
    field().spinRate = 0.05f;
    field().wedgeGlide = true;
    const bool sameCell = field().sameCell;
    const Vec3 before = field().discs[7].position;
    scene->transitionActive = false;

    EXPECT_TRUE(scene->handleKey(vk::down));
    EXPECT_FALSE(field().wedgeGlide);
    EXPECT_EQ(field().spinRate, 0.05f);
    EXPECT_EQ(field().paletteSteps, 1);
    EXPECT_EQ(field().paletteStep, 0);
    EXPECT_NE(field().sameCell, sameCell);
    EXPECT_TRUE(scene->transitionActive);
    EXPECT_EQ(scene->transitionStart, scene->clockSeconds);
    EXPECT_NE(field().discs[7].position.x, before.x);
    for (int i = 0; i < discCount; ++i) {
        const Disc& d = field().discs[i];
        EXPECT_EQ(d.phase, float(i) * 0.016666668f);
        EXPECT_EQ(d.birthTime, scene->clockSeconds - d.phase * 20.0f);
        EXPECT_EQ(d.velocity.x + d.velocity.y, 0.0f);
    }

    // The one-step segment: the next palette step lands on the target.
    const Palette start = field().paletteStart, delta = field().paletteDelta;
    field().stepPalette();
    EXPECT_EQ(field().palette.hueCentre, start.hueCentre + delta.hueCentre);
    EXPECT_EQ(field().palette.valueSpread, start.valueSpread + delta.valueSpread);
}
