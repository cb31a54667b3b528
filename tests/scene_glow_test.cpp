// The glow: its layers read back at chosen pixels, the capture's contents and format, the S key, the state left.
#include "support/scene_fixture.h"

#include <algorithm>
#include <array>
#include <functional>

namespace {
class Glow : public SceneTest {
protected:
    void SetUp() override {
        width = 240;
        height = 180;
        SceneTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(glowAvailable) << reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        for (int i = 0; i < 30; ++i) frameAfter(50);  // a frame well under way
    }
    // Every disc out of sight; the atlas unbound, so a disc is a plain square of its colour.
    void clearField() {
        DiscField& field = *scene->discField;
        for (int i = 0; i < discCount; ++i) field.discs[i].position = {1000.0f, 0.0f, 0.0f};
        field.images[0].texture = 0;
        scene->mirrorThisFrame = false;
    }
    // The capture of the frame as it stands, then the layers over a black buffer; returns the red channel at
    // a point given in fractions of the window from its lower-left corner.
    std::function<int(float, float)> glowAlone() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        camera();
        scene->captureGlow();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        scene->drawGlow(12, 0.02f);
        return [this](float x, float y) { return int(context->pixel(int(x * width), int(y * height))[0]); };
    }
};
}  // namespace

// A white capture adds the sum of the layers' alphas everywhere: 0.075 x (12 + 11 + .. + 1) / 12 = 0.4875,
// 124 of 255 (each of the twelve blends rounds on its own, hence the tolerance).
TEST_F(Glow, LayersAddTheirAlphasOverAUniformCapture) {
    clearField();
    glClearColor(1, 1, 1, 1);
    const auto glow = glowAlone();
    for (auto [x, y] : {std::pair{0.5f, 0.5f}, {0.1f, 0.1f}, {0.9f, 0.8f}}) EXPECT_NEAR(glow(x, y), 124, 2) << x;
}

// A white square over the upper-left quarter of the field: every layer shows it upright and unmirrored, so the
// window's upper-left corner gains the full 0.4875 and the other corners nothing.
TEST_F(Glow, ShowsTheCaptureUprightAndUnmirrored) {
    clearField();
    Disc& square = scene->discField->discs[7];
    square.position = {-10.5f, 10.5f, 0.0f};
    square.size = 10.0f;
    square.spinAngle = 0.0f;
    std::fill(square.color, square.color + 4, 1.0f);
    std::fill(square.colorPulse, square.colorPulse + 4, 0.0f);
    const auto glow = glowAlone();
    EXPECT_NEAR(glow(0.1f, 0.9f), 124, 2);
    for (auto [x, y] : {std::pair{0.9f, 0.9f}, {0.1f, 0.1f}, {0.9f, 0.1f}}) EXPECT_EQ(glow(x, y), 0) << x << " " << y;
}

// The capture holds the field drawn small, without the logo, as a linearly filtered luminance texture,
// and the buffer is cleared after it: a frame is its visible pass with the layers over a clean buffer.
TEST_F(Glow, CaptureIsLuminanceWithoutTheLogoAndIsClearedAway) {
    const std::vector<uint8_t> frame = context->pixels();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene->drawWedges(true);
    scene->drawGlow(12, 0.02f);
    EXPECT_TRUE(context->pixels() == frame);

    clearField();  // only the logo is left to draw
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    camera();
    scene->captureGlow();
    std::vector<uint8_t> texels(128 * 128, 1);
    GLint format = 0, minFilter = 0, magFilter = 0;
    glBindTexture(GL_TEXTURE_2D, glowTexture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, texels.data());
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    EXPECT_EQ(*std::max_element(texels.begin(), texels.end()), 0);
    EXPECT_EQ(format, GL_LUMINANCE);
    EXPECT_TRUE(minFilter == GL_LINEAR && magFilter == GL_LINEAR);
}

// Each frame equals its own visible pass drawn again by hand, with or without the glow.
TEST_F(Glow, KeySSwitchesItOffAndOn) {
    for (bool on : {false, true}) {
        scene->handleKey(vk::keyS);
        frameAfter(0);
        const std::vector<uint8_t> frame = context->pixels();
        EXPECT_TRUE(frame == redraw(on)) << "glow " << on;
    }
}

TEST_F(Glow, StateAfterTheOverlay) {
    camera();
    const auto matrix = [](GLenum which) {
        std::array<GLdouble, 16> m;
        glGetDoublev(which, m.data());
        return m;
    };
    const auto projection = matrix(GL_PROJECTION_MATRIX), modelview = matrix(GL_MODELVIEW_MATRIX);
    scene->captureGlow();
    scene->drawWedges(true);
    scene->drawGlow(12, 0.02f);
    GLint viewport[4], bound = -1, mode = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(std::pair(viewport[2], viewport[3]), std::pair(width, height));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(GL_BLEND));
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_TRUE(matrix(GL_PROJECTION_MATRIX) == projection && matrix(GL_MODELVIEW_MATRIX) == modelview);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
