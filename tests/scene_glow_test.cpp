// The glow: its layers read back at chosen pixels, the capture's contents and format.
#include "support/scene_fixture.h"

#include <algorithm>

namespace {
class Glow : public SceneTest {
protected:
    Glow() { width = 240, height = 180; }
    void SetUp() override {
        SceneTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(glowAvailable) << reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        for (int i = 0; i < 30; ++i) frameAfter(50);  // a frame well under way
    }
    // The capture of the field as it stands, then the layers alone over a black buffer.
    void glowAlone() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        camera();
        scene->captureGlow();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        scene->drawGlow(12, 0.02f);
    }
    // The red channel at a point given in fractions of the window from its lower-left corner.
    int red(float x, float y) { return context->pixel(int(x * width), int(y * height))[0]; }
};
}  // namespace

// The capture holds the field drawn small without the logo (here nothing else is left), as a linearly
// filtered luminance texture. A white capture adds the sum of the layers' alphas everywhere: 0.075 x (12 + 11
// + .. + 1) / 12 = 0.4875, 124 of 255 (each of the twelve blends rounds on its own, hence the tolerance). A
// white square over the upper-left quarter of the field shows in every layer upright and unmirrored: the
// window's upper-left corner gains the full 0.4875 and the other corners nothing.
TEST_F(Glow, CaptureIsLuminanceWithoutTheLogoAndLayersAddItUpright) {
    // Every disc out of sight; the atlas unbound, so that a disc is a plain square of its colour.
    for (int i = 0; i < discCount; ++i) scene->discField->discs[i].position = {1000.0f, 0.0f, 0.0f};
    scene->discField->images[0].texture = 0;
    scene->mirrorThisFrame = false;
    glowAlone();
    std::vector<uint8_t> texels(128 * 128, 1);
    GLint format = 0, minFilter = 0, magFilter = 0;
    glBindTexture(GL_TEXTURE_2D, glowTexture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, texels.data());
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    EXPECT_EQ(*std::max_element(texels.begin(), texels.end()), 0);
    EXPECT_TRUE(format == GL_LUMINANCE && minFilter == GL_LINEAR && magFilter == GL_LINEAR);

    glClearColor(1, 1, 1, 1);
    glowAlone();
    for (auto [x, y] : {std::pair{0.5f, 0.5f}, {0.1f, 0.1f}, {0.9f, 0.8f}}) EXPECT_NEAR(red(x, y), 124, 2) << x;
    Disc& square = scene->discField->discs[7];
    square = discAt({-10.5f, 10.5f, 0.0f}, 10.0f);
    std::fill(square.color, square.color + 4, 1.0f);
    glowAlone();
    EXPECT_NEAR(red(0.1f, 0.9f), 124, 2);
    for (auto [x, y] : {std::pair{0.9f, 0.9f}, {0.1f, 0.1f}, {0.9f, 0.1f}}) EXPECT_EQ(red(x, y), 0) << x << " " << y;
}
