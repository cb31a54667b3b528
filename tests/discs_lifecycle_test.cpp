// The disc field's colours and cell choice, on a scene built on a real OSMesa context.
#include "support/scene_fixture.h"

#include "scene/random.h"

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
    // The sector fraction stays in double precision: q = 0.9 x (1 - 0.7 x f) rounds once, to the float nearest
    // 0.648 (Python's doubles, rounded once, agree); a float fraction gives 0.64799988.
    EXPECT_EQ(hsvToRgb(0.9f, 0.7f, 0.9f).blue, 0.648f);
}

using DiscRenewal = SceneTest;

// Hue, saturation and value wrap once into 0..1 before conversion.
TEST_F(DiscRenewal, DrawnColourWrapsEachChannel) {
    DiscField& field = *scene->discField;
    struct Case { Palette palette; float rgb[3]; };
    for (const Case& c : {Case{{-0.3f, 0, 1.25f, 0, 1.0f, 0}, {0.8f, 0.75f, 1.0f}},  // h 0.7, s 0.25, v 1
                          Case{{0.5f, 0, 1.0f, 0, 1.2f, 0}, {0.0f, 0.2f, 0.2f}}}) {  // h 0.5, s 1, v 0.2
        field.palette = c.palette;
        field.discs[0].renew();
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(field.discs[0].color[i], c.rgb[i], 1e-5) << c.palette.hueCentre;
    }
}

// The real 512 x 64 atlas has cells 1/8 wide; no atlas size to divide by falls back on the same.
// rand() = 32767 must still pick cell 7, not 8.
TEST_F(DiscRenewal, CellRectangleWithoutAnAtlasAndAtTheTopRandomValue) {
    DiscField& field = *scene->discField;
    Disc& d = field.discs[3];
    field.sameCell = true;
    field.sharedCell = 5;
    for (auto size : {std::pair{512u, 64u}, std::pair{0u, 0u}, std::pair{512u, 0u}, std::pair{0u, 64u}}) {
        field.images[0].width = size.first;
        field.images[0].height = size.second;
        d.renew();
        EXPECT_TRUE(d.cellU == 0.625f && d.cellWidth == 0.125f && d.cellHeight == 1.0f) << size.first;
    }
    const uint32_t seed = seedForFirstRand(crt::randMax);  // its fraction is exactly 1 in floats
    crt::srand(seed);
    ASSERT_EQ(crt::rand(), 32767);
    crt::srand(seed);
    field.newPaletteTarget(1.0f);  // the shared cell is its first draw
    EXPECT_EQ(field.sharedCell, 7);
    field.sameCell = false;
    crt::srand(seed);
    d.renew();  // so is a disc's own cell
    EXPECT_EQ(d.cell, 7);
}
