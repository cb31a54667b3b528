// The disc field's lifecycle, spawning and renewal, on a scene built on a real OSMesa context.
#include <cmath>

#include "support/scene_fixture.h"

#include "scene/random.h"

namespace {
// A seed whose first rand() is 32767, the value whose 32-bit fraction is exactly 1.
uint32_t seedForTopRand() {
    const uint32_t a = 214013u, c = 2531011u;
    uint32_t inverse = a;
    for (int i = 0; i < 5; ++i) inverse *= 2u - a * inverse;
    return (0x7FFF0000u - c) * inverse;
}
}  // namespace

using DiscFieldLifecycle = SceneTest;

TEST_F(DiscFieldLifecycle, ConstructorDrawsPaletteThenCellModeThenWedgeCount) {
    crt::srand(77);
    const float hue = randomFraction();
    for (int i = 0; i < 5; ++i) crt::rand();  // the other five palette entries
    const bool sameCell = crt::rand() < 16384;
    crt::rand();
    crt::rand();  // the scene's two for its wedge count
    const int next = crt::rand();

    crt::srand(77);
    {
        DiscField field(*scene);  // never set up: its destructor must delete nothing
        EXPECT_EQ(field.palette.hueCentre, hue);
        EXPECT_EQ(field.sameCell, sameCell);
        EXPECT_EQ(crt::rand(), next);
    }
    currentDiscField = scene->discField.get();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(DiscFieldLifecycle, SetupSpawnsSixtyOneSixtiethApartAndTeardownDeletesTextures) {
    DiscField& field = *scene->discField;
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    for (int i = 0; i < discCount; ++i) {
        const Disc& d = field.discs[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(d.phase, float(i) * 0.016666668f);
        EXPECT_EQ(d.position.z, -0.25f * d.phase);
        EXPECT_EQ(d.birthTime, -d.phase * 20.0f);
        EXPECT_LT(std::hypot(d.position.x, d.position.y), 4.0f);
        EXPECT_TRUE(d.size >= 0.2f && d.size <= 0.9f);
        EXPECT_TRUE(d.cell >= 0 && d.cell < 8 && (!field.sameCell || d.cell == field.sharedCell));
        EXPECT_EQ(d.cellU, float(d.cell) / 8.0f);  // the real 512 x 64 atlas
        EXPECT_TRUE(d.color[3] >= 0.5f && d.color[3] <= 1.0f);
        EXPECT_TRUE(d.color[3] + d.colorPulse[3] >= 0.0f && d.color[3] + d.colorPulse[3] <= 1.0f);
    }
    const GLuint atlas = field.images[0].texture, logo = field.images[2].texture;
    ASSERT_TRUE(glIsTexture(atlas) && glIsTexture(logo));
    scene.reset();  // teardown deletes both
    EXPECT_FALSE(glIsTexture(atlas) || glIsTexture(logo));
}

// No atlas size to divide by (a missing image) falls back on the nominal 512 x 64; rand() = 32767
// still gives cell 7.
TEST_F(DiscFieldLifecycle, CellRectangleWithoutAnAtlasAndAtTheTopRandomValue) {
    DiscField& field = *scene->discField;
    Disc& d = field.discs[3];
    field.sameCell = true;
    field.sharedCell = 5;
    for (auto size : {std::pair{0u, 0u}, std::pair{512u, 0u}, std::pair{0u, 64u}}) {
        field.images[0].width = size.first;
        field.images[0].height = size.second;
        d.renew();
        EXPECT_TRUE(d.cellU == 0.625f && d.cellWidth == 0.125f && d.cellHeight == 1.0f) << size.first;
    }

    const uint32_t seed = seedForTopRand();
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

using DiscSpawnRenewal = SceneTest;

// Outside the quarter x >= 0, y <= 0 a wrapped disc is renewed; inside it keeps its look, stays
// expired and steps the palette again next frame. Age exactly 1 does not wrap; spin grows by speed.
TEST_F(DiscSpawnRenewal, WrapRenewsOnlyOutsideTheShownQuarter) {
    DiscField& field = *scene->discField;
    Disc& d = field.discs[10];
    struct Case { float x, y, seconds; bool renews; };
    for (Case c : {Case{1.0f, -1.0f, 30, false}, Case{-1.0f, -1.0f, 30, true}, Case{-0.3f, -1.0f, 30, false},
                   Case{1.0f, 0.6f, 30, true}, Case{1.0f, -0.3f, 30, false}, Case{-0.6f, 0.4f, 30, true},
                   Case{-1.0f, 1.0f, 20, false}}) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y << " at " << c.seconds);
        field.paletteSteps = 1000;
        field.paletteStep = 0;
        d = Disc{{c.x, c.y, 0}, {0.3f, 0.4f, 0}, {}, 0, 0, 0.5f, 12.0f, 0, 0, 0, 0, 0, {}, {}};
        scene->clockSeconds = c.seconds;
        d.age();
        EXPECT_EQ(d.phase, c.seconds == 30 ? 0.5f : 1.0f);
        EXPECT_EQ(field.paletteStep, c.seconds == 30 ? 1 : 0);
        EXPECT_EQ(d.birthTime, c.renews ? 20.0f : 0.0f);
        if (c.renews) continue;
        EXPECT_NEAR(d.spinAngle, 62.0f, 1e-4);
        d.age();
        EXPECT_EQ(field.paletteStep, c.seconds == 30 ? 2 : 0);
    }
}

// Hue, saturation and value wrap once into 0..1; exactly 1 stays 1.
TEST_F(DiscSpawnRenewal, DrawnColourWrapsEachChannel) {
    DiscField& field = *scene->discField;
    Disc& d = field.discs[0];
    struct Case { Palette palette; float rgb[3]; };
    for (const Case& c : {Case{{-0.3f, 0, 1.25f, 0, 1.0f, 0}, {0.8f, 0.75f, 1.0f}},  // h 0.7, s 0.25, v 1
                          Case{{0.5f, 0, 1.0f, 0, 1.2f, 0}, {0.0f, 0.2f, 0.2f}}}) {  // h 0.5, s 1, v 0.2
        field.palette = c.palette;
        d.renew();
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(d.color[i], c.rgb[i], 1e-5) << c.palette.hueCentre;
    }
}
