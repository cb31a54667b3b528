// Disc and logo drawing read back from the framebuffer: coverage, colour and alpha, pulse, logo tint.
#include "support/scene_fixture.h"

#include <cstdlib>
#include <cstring>

#include "images/texture_image.h"

namespace {

// An 8-bit mask uploaded as the loader would, rows given top first: white where col >= litFrom in
// the top half.
GLuint maskTexture(uint32_t width, uint32_t litFrom) {
    auto* pixels = static_cast<unsigned char*>(std::malloc(size_t(width) * 64));
    for (uint32_t r = 0; r < 64; ++r)
        for (uint32_t c = 0; c < width; ++c) pixels[size_t(r) * width + c] = c >= litFrom && r < 32 ? 255 : 0;
    TextureImage image{pixels, 8, width, 64, 0};
    uploadTexture(image);
    return image.texture;
}

}  // namespace

// A 320 x 240 view through the scene's projection and camera; an atlas of two cells (cell 1 lit in
// its top half), a logo lit in its top half, and no disc but what a test sets.
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
        for (int i = 0; i < discCount; ++i) field->discs[i].size = 0.0f;
        field->images[0].texture = maskTexture(128, 64);  // the loaded ones go with the context
        field->images[2].texture = maskTexture(256, 0);
        glEnable(GL_DEPTH_TEST);  // left on, as a frame may leave it: the pass turns it off
        camera();
    }

    // Disc i in cell 1, centred at (x, 0.5), 1.5 units across each way from the centre.
    Disc& placeDisc(int i, float x, const float (&color)[4], float pulseAlpha) {
        Disc& d = field->discs[i];
        d = Disc{{x, 0.5f, 0.0f}, {}, {}, 0.0f, 0.0f, 1.5f, 0.0f, 1, 0.5f, 0.0f, 0.5f, 1.0f, {}, {}};
        std::memcpy(d.color, color, sizeof color);
        d.colorPulse[3] = pulseAlpha;
        return d;
    }

    void drawPass(bool logo) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        field->beginDiscDrawing(logo);
        field->drawDiscs();
        field->endDiscDrawing();
    }

    // Expects the colour at a point of the plane z, through the 90-degree projection from 5.5.
    void expectRgb(float x, float y, float z, float r, float g, float b, const char* where) {
        const float scale = float(height) / 2.0f / (5.5f - z);
        const uint8_t* p = context->pixel(int(float(width) / 2 + x * scale), int(float(height) / 2 + y * scale));
        const float want[3] = {r, g, b};
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], want[c] * 255.0f, 2.0f) << where << ", channel " << c;
    }

    const float orange[4] = {0.8f, 0.4f, 0.2f, 0.25f};
    DiscField* field = nullptr;
};

// The quad spans position +- size, one unit in front; the mask's top half is lit; at phase 0 the alpha
// is colour + pulse (0.75), half a pulse later the colour's alone (0.25).
TEST_F(DiscDrawing, DiscCoversItsSquareWithColourTimesMask) {
    Disc& d = placeDisc(0, 1.0f, orange, 0.5f);
    drawPass(false);
    const float a = 0.75f;
    expectRgb(1.0f, 1.5f, 1, 0.8f * a, 0.4f * a, 0.2f * a, "upper half");
    expectRgb(2.35f, 1.85f, 1, 0.8f * a, 0.4f * a, 0.2f * a, "upper right corner");
    const float dark[][2] = {{1.0f, -0.5f}, {2.65f, 1.5f}, {1.0f, 2.15f}, {-0.65f, 1.5f}};
    for (const auto& p : dark) expectRgb(p[0], p[1], 1, 0, 0, 0, "masked lower half, or outside the square");

    d.phase = 3.14159265f / 25.132f;
    drawPass(false);
    expectRgb(1.0f, 1.5f, 1, 0.8f * 0.25f, 0.4f * 0.25f, 0.2f * 0.25f, "trough of the pulse");
}

// Texture 0 holds no image: the disc becomes a plain square of its colour. Later discs paint over.
TEST_F(DiscDrawing, UnloadedAtlasGivesPlainSquaresInIndexOrder) {
    field->images[0].texture = 0;  // the uploaded mask goes with the context
    placeDisc(0, 1.0f, orange, 0.5f);
    placeDisc(1, 2.0f, {0, 1, 0, 1}, 0.0f);
    drawPass(false);
    expectRgb(0.0f, -0.5f, 1, 0.8f * 0.75f, 0.4f * 0.75f, 0.2f * 0.75f, "lower half, unmasked");
    expectRgb(1.5f, 0.5f, 1, 0, 1, 0, "overlap: disc 1 on top");
}

// The logo, 4 x 0.64 at (5.2, -5.1) in the plane z = 0, alpha 0.1: yellow at time 0, blue half a
// cycle (pi / 0.2 seconds) later; the mask's top rows stand at the top. Not drawn when not asked.
// The pass leaves the atlas bound for the discs, and blending and texturing off.
TEST_F(DiscDrawing, LogoPulsesFromYellowToBlue) {
    drawPass(true);
    expectRgb(5.2f, -4.92f, 0, 0.1f, 0.1f, 0.0f, "top half at 0 s");
    expectRgb(3.5f, -4.92f, 0, 0.1f, 0.1f, 0.0f, "left end");
    expectRgb(5.2f, -5.3f, 0, 0, 0, 0, "bottom half, masked");
    expectRgb(5.2f, -4.6f, 0, 0, 0, 0, "above the logo");
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), field->images[0].texture);
    EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_TEXTURE_2D));

    platform::manual::advanceMilliseconds(15708);
    scene->updateClock();
    drawPass(true);
    expectRgb(5.2f, -4.92f, 0, 0.0f, 0.0f, 0.1f, "top half at 15.7 s");
    drawPass(false);
    expectRgb(5.2f, -4.92f, 0, 0, 0, 0, "no logo asked");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
