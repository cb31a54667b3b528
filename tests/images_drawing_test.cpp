// Disc and logo drawing read back from the framebuffer: coverage, colour and alpha, spin, pulse, logo tint.
#include "support/scene_fixture.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "images/texture_image.h"

namespace {

// An 8-bit mask uploaded as the loader would, rows given top first: white in the columns [litFrom, litTo) of
// the top half.
GLuint maskTexture(uint32_t width, uint32_t litFrom, uint32_t litTo) {
    auto* pixels = static_cast<unsigned char*>(std::malloc(size_t(width) * 64));
    for (uint32_t r = 0; r < 64; ++r)
        for (uint32_t c = 0; c < width; ++c) pixels[size_t(r) * width + c] = c >= litFrom && c < litTo && r < 32 ? 255 : 0;
    TextureImage image{pixels, 8, width, 64, 0};
    uploadTexture(image);
    return image.texture;
}

using Channels = std::array<float, 3>;

// A 320 x 240 view through the scene's projection and camera; an atlas of two cells (cell 1 lit in its
// upper-left quarter), a logo lit in its upper-left quarter, and no disc but what a test sets.
class DiscDrawing : public SceneTest {
protected:
    void SetUp() override {
        width = 320;
        height = 240;
        SceneTest::SetUp();
        if (HasFatalFailure()) return;
        field = scene->discField.get();
        for (int i = 0; i < discCount; ++i) field->discs[i].size = 0.0f;
        field->images[0].texture = maskTexture(128, 64, 96);  // the loaded ones go with the context
        field->images[2].texture = maskTexture(256, 0, 128);
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
    void expectRgb(float x, float y, float z, Channels want) {
        const float scale = float(height) / 2.0f / (5.5f - z);
        const uint8_t* p = context->pixel(int(float(width) / 2 + x * scale), int(float(height) / 2 + y * scale));
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], want[c] * 255.0f, 2.0f) << x << ", " << y << ", channel " << c;
    }

    const float orange[4] = {0.8f, 0.4f, 0.2f, 0.25f};
    Channels orangeTimes(float a) const { return {0.8f * a, 0.4f * a, 0.2f * a}; }
    DiscField* field = nullptr;
};

}  // namespace

// The quad spans position +- size, one unit in front, with the cell's upper-left quarter lit; at phase 0 the
// alpha is colour + pulse (0.75), half a pulse later the colour's alone (0.25). A spin of 90 degrees turns
// the lit quarter counterclockwise about the disc's centre (1, 0.5), to the lower left.
TEST_F(DiscDrawing, DiscShowsItsCellUprightSpunAndPulsing) {
    Disc& d = placeDisc(0, 1.0f, orange, 0.5f);
    const struct { float spin, phase, x, y, alpha; } probes[] = {
        {0, 0, 0.25f, 1.25f, 0.75f}, {0, 0, -0.35f, 1.85f, 0.75f}, {0, 0, 1.75f, 1.25f, 0}, {0, 0, 0.25f, -0.25f, 0},
        {0, 0, 2.65f, 1.5f, 0}, {0, 0, 1.0f, 2.15f, 0},  // lit, its corner, unlit quarters, outside the square
        {90, 0, 0.25f, -0.25f, 0.75f}, {90, 0, 0.25f, 1.25f, 0}, {90, 0, 1.75f, 1.25f, 0},
        {0, 3.14159265f / 25.132f, 0.25f, 1.25f, 0.25f}};  // the trough of the pulse
    for (const auto& p : probes) {
        d.spinAngle = p.spin;
        d.phase = p.phase;
        drawPass(false);
        expectRgb(p.x, p.y, 1, orangeTimes(p.alpha));
    }
}

// Texture 0 holds no image: the disc becomes a plain square of its colour. Later discs paint over earlier
// ones even from behind: the pass turns the depth test off.
TEST_F(DiscDrawing, UnloadedAtlasGivesPlainSquaresInIndexOrder) {
    field->images[0].texture = 0;  // the uploaded mask goes with the context
    placeDisc(0, 1.0f, orange, 0.5f);
    placeDisc(1, 2.0f, {0, 1, 0, 1}, 0.0f).position.z = -0.5f;
    drawPass(false);
    expectRgb(0.0f, -0.5f, 1, orangeTimes(0.75f));  // lower half, unmasked
    expectRgb(1.5f, 0.5f, 1, {0, 1, 0});  // the overlap: disc 1 on top
}

// The logo quad stands 4 x 0.64 at (5.2, -5.1) in the plane z = 0, the whole mask upright, so that only its
// upper-left quarter shows: alpha 0.1, yellow at time 0, blue half a cycle (pi / 0.2 seconds) later. Not drawn
// when not asked. The pass leaves the atlas bound for the discs, blending and texturing off.
TEST_F(DiscDrawing, LogoPlacedUprightPulsingFromYellowToBlue) {
    const struct { int64_t ms; bool logo; Channels lit; } passes[] = {
        {0, true, {0.1f, 0.1f, 0.0f}}, {15708, true, {0.0f, 0.0f, 0.1f}}, {0, false, {0, 0, 0}}};
    for (const auto& p : passes) {
        platform::manual::advanceMilliseconds(p.ms);
        scene->updateClock();
        drawPass(p.logo);
        expectRgb(4.2f, -4.92f, 0, p.lit);  // the upper left of the mask
        expectRgb(6.2f, -4.92f, 0, {0, 0, 0});  // its upper right
        expectRgb(4.2f, -5.28f, 0, {0, 0, 0});  // its lower left
    }
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), field->images[0].texture);
    EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
