// Palette drift segments with their smoothstep easing, and the colour conversion.
#include "support/scene_fixture.h"

namespace {
void expectRgb(Rgb c, float r, float g, float b) {
    EXPECT_NEAR(c.red, r, 1e-6);
    EXPECT_NEAR(c.green, g, 1e-6);
    EXPECT_NEAR(c.blue, b, 1e-6);
}
}  // namespace

TEST(HsvToRgb, ListedValues) {
    expectRgb(hsvToRgb(0.0f, 1.0f, 1.0f), 1, 0, 0);
    expectRgb(hsvToRgb(1.0f, 1.0f, 1.0f), 1, 0, 0);  // a full turn is red again
    expectRgb(hsvToRgb(0.5f, 1.0f, 1.0f), 0, 1, 1);
    expectRgb(hsvToRgb(0.25f, 0.5f, 0.8f), 0.6f, 0.8f, 0.4f);
    for (float h : {0.0f, 0.3f, 0.99f}) expectRgb(hsvToRgb(h, 0.0f, 0.7f), 0.7f, 0.7f, 0.7f);
    // The sectors the values above leave out.
    expectRgb(hsvToRgb(5.0f / 12, 1.0f, 1.0f), 0, 1, 0.5f);
    expectRgb(hsvToRgb(9.0f / 12, 1.0f, 1.0f), 0.5f, 0, 1);
    expectRgb(hsvToRgb(11.0f / 12, 1.0f, 1.0f), 1, 0, 0.5f);
}

using PaletteDrift = SceneTest;

TEST_F(PaletteDrift, SmoothstepEasesFromStartToTarget) {
    DiscField& field = *scene->discField;
    field.paletteStart = {0, 0, 0, 0, 0.5f, 0};
    field.paletteDelta = {1, 1, 1, 1, 0.5f, 0};
    field.paletteSteps = 4;
    field.paletteStep = 0;
    const float eased[] = {0.15625f, 0.5f, 0.84375f, 1.0f};
    for (float e : eased) {
        field.stepPalette();
        EXPECT_EQ(field.palette.hueCentre, e);
        EXPECT_EQ(field.palette.saturationSpread, e);
        EXPECT_EQ(field.palette.valueCentre, 0.5f + e * 0.5f);
        EXPECT_EQ(field.palette.valueSpread, 0.0f);
    }
    // The fifth step opens a new segment from here, without moving the palette.
    const Palette reached = field.palette;
    field.stepPalette();
    EXPECT_EQ(field.paletteStep, 0);
    EXPECT_GE(field.paletteSteps, 3);
    EXPECT_LE(field.paletteSteps, 63);
    EXPECT_EQ(field.palette.hueCentre, reached.hueCentre);
    EXPECT_EQ(field.palette.valueCentre, reached.valueCentre);
    EXPECT_EQ(field.paletteStart.hueCentre, reached.hueCentre);
}

TEST_F(PaletteDrift, NewTargetOpensASegmentInTheEntryRanges) {
    DiscField& field = *scene->discField;
    // A new field has no segment yet: its first step opens one and leaves the palette alone.
    EXPECT_EQ(field.paletteSteps, 0);
    const Palette first = field.palette;
    field.stepPalette();
    EXPECT_GE(field.paletteSteps, 3);
    EXPECT_EQ(field.palette.hueSpread, first.hueSpread);
    EXPECT_EQ(field.palette.valueSpread, first.valueSpread);

    int changed = 0;
    for (int round = 0; round < 200; ++round) {
        const bool sameCell = field.sameCell;
        field.newPaletteTarget(0.5f);
        EXPECT_EQ(field.paletteSteps, 1);
        EXPECT_EQ(field.paletteStep, 0);
        EXPECT_NE(field.sameCell, sameCell);
        EXPECT_GE(field.sharedCell, 0);
        EXPECT_LT(field.sharedCell, 8);
        const Palette start = field.paletteStart, delta = field.paletteDelta;
        field.stepPalette();  // e = 1: exactly on the target
        const Palette& p = field.palette;
        EXPECT_EQ(p.hueCentre, start.hueCentre + delta.hueCentre);
        EXPECT_EQ(p.saturationSpread, start.saturationSpread + delta.saturationSpread);
        EXPECT_EQ(p.valueCentre, start.valueCentre + delta.valueCentre);
        changed += delta.hueCentre != 0.0f;
        for (float x : {p.hueCentre, p.hueSpread, p.saturationCentre, p.saturationSpread}) {
            EXPECT_GE(x, 0.0f);
            EXPECT_LE(x, 1.0f);
        }
        EXPECT_GE(p.valueCentre, 0.5f);
        EXPECT_LE(p.valueCentre, 1.0f);
        EXPECT_GE(p.valueSpread, 0.0f);
        EXPECT_LE(p.valueSpread, 0.5f);
    }
    EXPECT_GT(changed, 60);  // each entry changes in about half of all segments
    EXPECT_LT(changed, 140);

    // A segment that changes nothing leaves the palette exactly where it was.
    field.paletteDelta = {};
    field.paletteStart = field.palette;
    field.paletteSteps = 10;
    field.paletteStep = 0;
    const Palette still = field.palette;
    for (int i = 0; i < 10; ++i) field.stepPalette();
    EXPECT_EQ(field.palette.hueCentre, still.hueCentre);
    EXPECT_EQ(field.palette.valueSpread, still.valueSpread);
}
