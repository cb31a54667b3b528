// Palette drift segments with their smoothstep easing, and the colour conversion.
#include "support/scene_fixture.h"

TEST(HsvToRgb, EverySectorAndTheGreys) {
    struct Case { float h, s, v, r, g, b; };
    for (Case c : {Case{0.0f, 1, 1, 1, 0, 0}, Case{1.0f, 1, 1, 1, 0, 0},  // a full turn is red again
                   Case{0.5f, 1, 1, 0, 1, 1}, Case{0.25f, 0.5f, 0.8f, 0.6f, 0.8f, 0.4f},
                   Case{5.0f / 12, 1, 1, 0, 1, 0.5f}, Case{9.0f / 12, 1, 1, 0.5f, 0, 1},
                   Case{11.0f / 12, 1, 1, 1, 0, 0.5f}, Case{0.3f, 0, 0.7f, 0.7f, 0.7f, 0.7f}}) {
        const Rgb rgb = hsvToRgb(c.h, c.s, c.v);
        EXPECT_NEAR(rgb.red, c.r, 1e-6) << c.h;
        EXPECT_NEAR(rgb.green, c.g, 1e-6) << c.h;
        EXPECT_NEAR(rgb.blue, c.b, 1e-6) << c.h;
    }
}

using PaletteDrift = SceneTest;

// Four steps ease 0 -> 1 by smoothstep; the fifth opens a new segment from there without moving.
TEST_F(PaletteDrift, SmoothstepEasesFromStartToTarget) {
    DiscField& field = *scene->discField;
    field.paletteStart = {0, 0, 0, 0, 0.5f, 0};
    field.paletteDelta = {1, 1, 1, 1, 0.5f, 0};
    field.paletteSteps = 4;
    field.paletteStep = 0;
    for (float e : {0.15625f, 0.5f, 0.84375f, 1.0f}) {
        field.stepPalette();
        EXPECT_EQ(field.palette.hueCentre, e);
        EXPECT_EQ(field.palette.valueCentre, 0.5f + e * 0.5f);
    }
    const float reached = field.palette.hueCentre;
    field.stepPalette();
    EXPECT_TRUE(field.paletteSteps >= 3 && field.paletteSteps <= 63) << field.paletteSteps;
    EXPECT_EQ(field.palette.hueCentre, reached);
}

// A segment changes each entry about half the time, drawing it from its entry's range.
TEST_F(PaletteDrift, NewTargetsStayInTheEntryRanges) {
    DiscField& field = *scene->discField;
    int changed = 0;
    for (int round = 0; round < 200; ++round) {
        field.newPaletteTarget(0.5f);
        changed += field.paletteDelta.hueCentre != 0.0f;
        field.stepPalette();  // a one-step segment: exactly on the target
        const Palette& p = field.palette;
        for (float x : {p.hueCentre, p.hueSpread, p.saturationCentre, p.saturationSpread, p.valueCentre * 2 - 1,
                        p.valueSpread * 2}) {
            EXPECT_TRUE(x >= 0.0f && x <= 1.0f) << round;
        }
    }
    EXPECT_GT(changed, 60);
    EXPECT_LT(changed, 140);
}
