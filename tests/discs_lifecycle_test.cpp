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
    float f[6];
    for (float& x : f) x = randomFraction();
    const bool sameCell = crt::rand() < 16384;
    crt::rand();
    crt::rand();  // the scene's two for its wedge count
    const int next = crt::rand();

    crt::srand(77);
    {
        DiscField field(*scene);
        EXPECT_EQ(currentDiscField, &field);
        EXPECT_EQ(field.palette.hueCentre, f[0]);
        EXPECT_EQ(field.palette.hueSpread, f[1]);
        EXPECT_EQ(field.palette.saturationCentre, f[2]);
        EXPECT_EQ(field.palette.saturationSpread, f[3]);
        EXPECT_EQ(field.palette.valueCentre, (f[4] + 1.0f) * 0.5f);
        EXPECT_EQ(field.palette.valueSpread, f[5] * 0.5f);
        EXPECT_EQ(field.sameCell, sameCell);
        EXPECT_EQ(crt::rand(), next);
        EXPECT_EQ(field.targetWedgeCount, 10);
        EXPECT_FALSE(field.wedgeGlide);
        EXPECT_EQ(field.paletteSteps, 0);
        // Nothing allocated, so destruction deletes no texture.
        EXPECT_EQ(field.discs, nullptr);
        EXPECT_EQ(field.images, nullptr);
    }
    currentDiscField = scene->discField.get();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(DiscFieldLifecycle, SetupSpawnsAllSixtyOneSixtiethApart) {
    DiscField& field = *scene->discField;
    ASSERT_NE(field.discs, nullptr);
    ASSERT_NE(field.images, nullptr);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2], 0.0f);
    EXPECT_EQ(clear[3], 1.0f);
    EXPECT_GE(field.sharedCell, 0);
    EXPECT_LT(field.sharedCell, 8);
    EXPECT_EQ(field.images[1].texture, 0u);

    for (int i = 0; i < discCount; ++i) {
        const Disc& d = field.discs[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(d.phase, float(i) * 0.016666668f);
        EXPECT_NEAR(d.position.z, -0.25 * i / 60.0, 1e-6);
        EXPECT_EQ(d.birthTime, -d.phase * 20.0f);
        EXPECT_EQ(d.velocity.x + d.velocity.y + d.velocity.z, 0.0f);
        EXPECT_EQ(d.force.x + d.force.y + d.force.z, 0.0f);
        EXPECT_LT(std::hypot(d.position.x, d.position.y), 4.0f);
        EXPECT_GE(d.size, 0.2f);
        EXPECT_LE(d.size, 0.9f);
        if (field.sameCell) {
            EXPECT_EQ(d.cell, field.sharedCell);
        }
        EXPECT_GE(d.cell, 0);
        EXPECT_LT(d.cell, 8);
        // The real 512 x 64 atlas and the missing-atlas fallback give the same rectangle.
        EXPECT_EQ(d.cellU, float(d.cell) / 8.0f);
        EXPECT_EQ(d.cellV, 0.0f);
        EXPECT_EQ(d.cellWidth, 0.125f);
        EXPECT_EQ(d.cellHeight, 1.0f);
        EXPECT_GE(d.color[3], 0.5f);
        EXPECT_LE(d.color[3], 1.0f);
        EXPECT_GE(d.color[3] + d.colorPulse[3], 0.0f);
        EXPECT_LE(d.color[3] + d.colorPulse[3], 1.0f);
    }
    EXPECT_EQ(field.discs[59].position.z, -0.25f * (59 * 0.016666668f));
}

TEST_F(DiscFieldLifecycle, DestructionDeletesAtlasAndLogoTextures) {
    DiscField& field = *scene->discField;
    GLuint names[3];
    glGenTextures(3, names);
    for (GLuint name : names) {
        glBindTexture(GL_TEXTURE_2D, name);  // binding makes them textures
        ASSERT_TRUE(glIsTexture(name));
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    GLuint loaded[2] = {field.images[0].texture, field.images[2].texture};
    glDeleteTextures(2, loaded);
    field.images[0].texture = names[0];
    field.images[2].texture = names[1];

    scene.reset();
    EXPECT_FALSE(glIsTexture(names[0]));
    EXPECT_FALSE(glIsTexture(names[1]));
    EXPECT_TRUE(glIsTexture(names[2]));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(DiscFieldLifecycle, CellRectangleWithAndWithoutAnAtlas) {
    DiscField& field = *scene->discField;
    Disc& d = field.discs[3];
    field.sameCell = true;
    field.sharedCell = 5;
    for (auto size : {std::pair{0u, 0u}, std::pair{512u, 0u}, std::pair{0u, 64u}, std::pair{512u, 64u}}) {
        field.images[0].width = size.first;
        field.images[0].height = size.second;
        d.renew();
        EXPECT_EQ(d.cellU, 0.625f);
        EXPECT_EQ(d.cellWidth, 0.125f);
        EXPECT_EQ(d.cellHeight, 1.0f);
    }
}

// In 32-bit floats rand() = 32767 makes a fraction of exactly 1; a cell must still be 0..7.
TEST_F(DiscFieldLifecycle, TopRandomValueStillGivesCellSeven) {
    DiscField& field = *scene->discField;
    const uint32_t seed = seedForTopRand();
    crt::srand(seed);
    ASSERT_EQ(crt::rand(), 32767);

    crt::srand(seed);
    field.newPaletteTarget(1.0f);  // the shared cell is its first draw
    EXPECT_EQ(field.sharedCell, 7);

    field.sameCell = false;
    crt::srand(seed);
    field.discs[0].renew();  // so is a disc's own cell
    EXPECT_EQ(field.discs[0].cell, 7);
    EXPECT_EQ(field.discs[0].cellU, 0.875f);
}

using DiscSpawnRenewal = SceneTest;

// Outside the quarter x >= 0, y <= 0 a wrapped disc is renewed; inside it keeps its look.
TEST_F(DiscSpawnRenewal, WrapRenewsOnlyOutsideTheShownQuarter) {
    DiscField& field = *scene->discField;
    Disc& d = field.discs[10];
    struct Case { float x, y; bool renews; };
    for (Case c : {Case{1.0f, -1.0f, false}, Case{-1.0f, -1.0f, true}, Case{-0.3f, -1.0f, false},
                   Case{1.0f, 0.6f, true},
                   Case{1.0f, -0.3f, false}, Case{-0.6f, 0.4f, true}}) {
        SCOPED_TRACE(c.x);
        SCOPED_TRACE(c.y);
        field.paletteSteps = 1000;
        field.paletteStep = 0;
        d.position = {c.x, c.y, d.position.z};
        d.size = 0.5f;
        d.velocity = {0, 0, 0};
        d.birthTime = 0.0f;
        d.spinAngle = 12.0f;
        scene->clockSeconds = 30.0f;
        d.age();
        EXPECT_EQ(d.phase, 0.5f);
        EXPECT_EQ(field.paletteStep, 1);
        EXPECT_EQ(d.birthTime, c.renews ? 20.0f : 0.0f);
        if (!c.renews) {
            EXPECT_EQ(d.spinAngle, 12.0f);  // at rest, and not renewed
            // Still expired: it wraps and steps the palette again on the next frame.
            scene->clockSeconds = 30.04f;
            d.age();
            EXPECT_EQ(field.paletteStep, 2);
            EXPECT_EQ(d.birthTime, 0.0f);
        }
    }
}

TEST_F(DiscSpawnRenewal, AgeingSpinsByTheSpeedAndWrapsOnlyAboveOne) {
    DiscField& field = *scene->discField;
    Disc& d = field.discs[0];
    field.paletteSteps = 1000;
    field.paletteStep = 0;
    d.position = {1.0f, -1.0f, 0.0f};
    d.birthTime = 0.0f;
    d.spinAngle = 10.0f;
    d.velocity = {0.3f, 0.4f, 0.0f};
    scene->clockSeconds = 20.0f;  // age exactly 1: no wrap yet
    d.age();
    EXPECT_EQ(d.phase, 1.0f);
    EXPECT_EQ(field.paletteStep, 0);
    EXPECT_NEAR(d.spinAngle, 60.0f, 1e-4);
}

// Hue, saturation and value wrap once into 0..1; exactly 1 stays 1.
TEST_F(DiscSpawnRenewal, DrawnColourWrapsEachChannel) {
    DiscField& field = *scene->discField;
    Disc& d = field.discs[0];
    field.palette = {-0.3f, 0.0f, 1.25f, 0.0f, 1.0f, 0.0f};
    d.renew();  // h 0.7, s 0.25, v 1: sector 4 at f 0.2
    EXPECT_NEAR(d.color[0], 0.8f, 1e-5);
    EXPECT_NEAR(d.color[1], 0.75f, 1e-5);
    EXPECT_NEAR(d.color[2], 1.0f, 1e-5);

    field.palette = {0.5f, 0.0f, 1.0f, 0.0f, 1.2f, 0.0f};
    d.renew();  // h 0.5, s 1 kept, v 0.2
    EXPECT_NEAR(d.color[0], 0.0f, 1e-5);
    EXPECT_NEAR(d.color[1], 0.2f, 1e-5);
    EXPECT_NEAR(d.color[2], 0.2f, 1e-5);
}
