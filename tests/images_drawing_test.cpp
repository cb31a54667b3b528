// Disc and logo drawing read back from the framebuffer: coverage, colour and alpha, pulse, logo tint.
#include "support/scene_fixture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "images/jpeg_resource.h"
#include "images/texture_image.h"

namespace {

// An 8-bit mask uploaded as the loader would: rows given top first.
GLuint maskTexture(uint32_t width, uint32_t height, unsigned char (*value)(uint32_t row, uint32_t col)) {
    auto* pixels = static_cast<unsigned char*>(std::malloc(size_t(width) * height));
    for (uint32_t r = 0; r < height; ++r)
        for (uint32_t c = 0; c < width; ++c) pixels[size_t(r) * width + c] = value(r, c);
    TextureImage image{pixels, 8, width, height, 0};
    uploadTexture(image);
    return image.texture;
}

// Cell 0 black; cell 1 white in its top half.
unsigned char twoCells(uint32_t row, uint32_t col) { return col >= 64 && row < 32 ? 255 : 0; }
unsigned char topHalf(uint32_t row, uint32_t) { return row < 32 ? 255 : 0; }

}  // namespace

// A 320 x 240 view through the scene's projection and camera, discs and images set by each test.
class DiscDrawing : public SceneTest {
protected:
    DiscDrawing() {
        width = 320;
        height = 240;
    }
    void SetUp() override {
        SceneTest::SetUp();
        if (HasFatalFailure()) return;
        field = scene->discField.get();
        ASSERT_TRUE(field->discs && field->images);
        for (int i = 0; i < discCount; ++i) field->discs[i].size = 0.0f;  // nothing but what a test sets
        glDeleteTextures(1, &field->images[0].texture);
        glDeleteTextures(1, &field->images[2].texture);
        field->images[0].texture = maskTexture(128, 64, twoCells);
        field->images[2].texture = maskTexture(256, 64, topHalf);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(0, 0, 5.5, 0, 0, 0, 0, 1, 0);
    }

    // Disc 0 in cell 1: centred at (1, 0.5), 1.5 units across each way from the centre.
    Disc& placeDisc() {
        Disc& d = field->discs[0];
        d.position = {1.0f, 0.5f, 0.0f};
        d.size = 1.5f;
        d.spinAngle = 0.0f;
        d.phase = 0.0f;
        d.cellU = 0.5f;
        d.cellV = 0.0f;
        d.cellWidth = 0.5f;
        d.cellHeight = 1.0f;
        const float color[4] = {0.8f, 0.4f, 0.2f, 0.25f}, pulse[4] = {0, 0, 0, 0.5f};
        std::memcpy(d.color, color, sizeof color);
        std::memcpy(d.colorPulse, pulse, sizeof pulse);
        return d;
    }

    void drawPass(bool logo) {
        field->beginDiscDrawing(logo);
        field->drawDiscs();
        field->endDiscDrawing();
    }

    // The pixel at a point of the plane z, through the 90-degree projection from the camera at 5.5.
    const uint8_t* at(float x, float y, float z) {
        const float scale = float(height) / 2.0f / (5.5f - z);
        return context->pixel(int(float(width) / 2.0f + x * scale), int(float(height) / 2.0f + y * scale));
    }

    static void expectRgb(const uint8_t* p, float r, float g, float b, const char* where) {
        EXPECT_NEAR(p[0], r * 255.0f, 2.0f) << where;
        EXPECT_NEAR(p[1], g * 255.0f, 2.0f) << where;
        EXPECT_NEAR(p[2], b * 255.0f, 2.0f) << where;
    }

    DiscField* field = nullptr;
};

// The quad spans position +- size, one unit in front; the mask's top half is lit; at phase 0 the alpha
// is colour + pulse (0.75), half a pulse later the colour's alone (0.25).
TEST_F(DiscDrawing, DiscCoversItsSquareWithColourTimesMask) {
    Disc& d = placeDisc();
    drawPass(false);
    const float z = 1.0f, a = 0.75f;
    expectRgb(at(1.0f, 1.5f, z), 0.8f * a, 0.4f * a, 0.2f * a, "upper half");
    expectRgb(at(2.35f, 1.85f, z), 0.8f * a, 0.4f * a, 0.2f * a, "upper right corner");
    expectRgb(at(1.0f, -0.5f, z), 0, 0, 0, "lower half, masked");
    expectRgb(at(2.65f, 1.5f, z), 0, 0, 0, "right of the square");
    expectRgb(at(1.0f, 2.15f, z), 0, 0, 0, "above the square");
    expectRgb(at(-0.65f, 1.5f, z), 0, 0, 0, "left of the square");

    glClear(GL_COLOR_BUFFER_BIT);
    d.phase = 3.14159265f / 25.132f;
    drawPass(false);
    expectRgb(at(1.0f, 1.5f, z), 0.8f * 0.25f, 0.4f * 0.25f, 0.2f * 0.25f, "trough of the pulse");

    // A quarter turn of spin carries the lit top half to the left.
    glClear(GL_COLOR_BUFFER_BIT);
    d.phase = 0.0f;
    d.spinAngle = 90.0f;
    drawPass(false);
    expectRgb(at(0.0f, 0.5f, z), 0.8f * a, 0.4f * a, 0.2f * a, "left after the spin");
    expectRgb(at(2.0f, 0.5f, z), 0, 0, 0, "right after the spin");
}

// Texture 0 holds no image: the disc becomes a plain square of its colour. Later discs paint over.
TEST_F(DiscDrawing, UnloadedAtlasGivesPlainSquaresInIndexOrder) {
    glDeleteTextures(1, &field->images[0].texture);
    field->images[0].texture = 0;
    placeDisc();
    Disc& top = field->discs[1];
    top = field->discs[0];
    top.position.x = 2.0f;
    const float green[4] = {0, 1, 0, 1}, none[4] = {0, 0, 0, 0};
    std::memcpy(top.color, green, sizeof green);
    std::memcpy(top.colorPulse, none, sizeof none);
    drawPass(false);
    const float z = 1.0f, a = 0.75f;
    expectRgb(at(0.0f, -0.5f, z), 0.8f * a, 0.4f * a, 0.2f * a, "lower half, unmasked");
    expectRgb(at(0.0f, 1.5f, z), 0.8f * a, 0.4f * a, 0.2f * a, "upper half");
    expectRgb(at(1.5f, 0.5f, z), 0, 1, 0, "overlap: disc 1 on top");
    expectRgb(at(3.0f, 0.5f, z), 0, 1, 0, "disc 1 alone");
}

// The shipped atlas: the soft spot of cell 1 is bright in the middle and gone at the corners.
TEST_F(DiscDrawing, ShippedAtlasSoftSpot) {
    glDeleteTextures(1, &field->images[0].texture);
    TextureImage atlas{};
    ASSERT_TRUE(loadJpegResource(atlas, "JPEG_DISCS_MASK"));
    field->images[0].texture = atlas.texture;
    Disc& d = placeDisc();
    d.cellU = 0.125f;
    d.cellWidth = 0.125f;
    const float white[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 0};
    std::memcpy(d.color, white, sizeof white);
    std::memcpy(d.colorPulse, none, sizeof none);
    drawPass(false);
    EXPECT_GT(at(1.0f, 0.5f, 1.0f)[0], 230);
    EXPECT_LT(at(2.3f, 1.8f, 1.0f)[0], 10);
    EXPECT_LT(at(-0.3f, -0.8f, 1.0f)[0], 10);
}

// The logo, 4 x 0.64 at (5.2, -5.1) in the plane z = 0, alpha 0.1: yellow at time 0, blue half a
// cycle (pi / 0.2 seconds) later; the mask's top rows stand at the top. Not drawn when not asked.
TEST_F(DiscDrawing, LogoPulsesFromYellowToBlue) {
    drawPass(true);
    expectRgb(at(5.2f, -4.92f, 0.0f), 0.1f, 0.1f, 0.0f, "top half at 0 s");
    expectRgb(at(3.5f, -4.92f, 0.0f), 0.1f, 0.1f, 0.0f, "left end");
    expectRgb(at(5.2f, -5.3f, 0.0f), 0, 0, 0, "bottom half, masked");
    expectRgb(at(5.2f, -4.6f, 0.0f), 0, 0, 0, "above the logo");

    platform::manual::advanceMilliseconds(15708);
    scene->updateClock();
    ASSERT_NEAR(scene->clockSeconds, 15.708f, 1e-3f);
    glClear(GL_COLOR_BUFFER_BIT);
    drawPass(true);
    expectRgb(at(5.2f, -4.92f, 0.0f), 0.0f, 0.0f, 0.1f, "top half at 15.7 s");

    glClear(GL_COLOR_BUFFER_BIT);
    drawPass(false);
    expectRgb(at(5.2f, -4.92f, 0.0f), 0, 0, 0, "no logo asked");
}

// The pass's state: atlas bound after begin with or without the logo; after end, blend and texturing
// off, culling and depth test still off, the rest as begin left it; the modelview untouched.
TEST_F(DiscDrawing, PassLeavesTheListedState) {
    placeDisc();
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    GLfloat before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    for (bool logo : {false, true}) {
        field->beginDiscDrawing(logo);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(GLuint(bound), field->images[0].texture) << logo;
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        field->drawDiscs();
        field->endDiscDrawing();
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
        GLint src = 0, dst = 0, mode = 0;
        glGetIntegerv(GL_BLEND_SRC, &src);
        glGetIntegerv(GL_BLEND_DST, &dst);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
        EXPECT_EQ(src, GL_SRC_ALPHA);
        EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
        EXPECT_EQ(mode, GL_MODULATE);
        glGetFloatv(GL_MODELVIEW_MATRIX, after);
        EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
