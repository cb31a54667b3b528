// The glow: a brighter centre, a capture that never shows, no logo in it, and the state it leaves.
#include "support/scene_fixture.h"

#include <array>
#include <cmath>
#include <vector>

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

    void camera() {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(0.0, 0.0, 5.5, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    }

    // The visible pass of the current frame again, without advancing anything, with or without the glow.
    std::vector<uint8_t> redraw(bool withCapture, bool withOverlay) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        camera();
        if (withCapture) scene->captureGlow();
        scene->drawWedges(true);
        if (withOverlay) scene->drawGlow(12, 0.02f);
        return context->pixels();
    }

    // The glow texture's 128 x 128 luminance.
    std::vector<uint8_t> glowImage() {
        std::vector<uint8_t> image(128 * 128);
        glBindTexture(GL_TEXTURE_2D, glowTexture);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, image.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return image;
    }

    // The capture's steps with or without the logo, returning the texture it makes.
    std::vector<uint8_t> captureByHand(bool logo) {
        glViewport(0, 0, 128, 128);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene->drawWedges(logo);
        glBindTexture(GL_TEXTURE_2D, glowTexture);
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, 0, 0, 128, 128, 0);
        glViewport(0, 0, width, height);
        return glowImage();
    }

    double meanInBox(const std::vector<uint8_t>& rgba, int x0, int y0, int x1, int y1) {
        double total = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                for (int k = 0; k < 3; ++k) total += rgba[(size_t(y) * size_t(width) + size_t(x)) * 4 + size_t(k)];
        return total / (3.0 * (x1 - x0) * (y1 - y0));
    }
};

int differingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int count = 0;
    for (size_t i = 0; i + 3 < a.size(); i += 4)
        if (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]) ++count;
    return count;
}
}  // namespace

TEST_F(Glow, BrightensTheCentreAndAddsNothingWhereTheFrameIsDark) {
    const std::vector<uint8_t> plain = redraw(false, false);
    const std::vector<uint8_t> glowing = redraw(true, true);
    const int cx = width / 2, cy = height / 2;
    const double centreGain = meanInBox(glowing, cx - 30, cy - 30, cx + 30, cy + 30) -
                              meanInBox(plain, cx - 30, cy - 30, cx + 30, cy + 30);
    EXPECT_GT(centreGain, 5.0);
    // Additive layers never darken a pixel.
    for (size_t i = 0; i < plain.size(); i += 4)
        for (size_t k = 0; k < 3; ++k) ASSERT_GE(glowing[i + k], plain[i + k]) << i / 4;
}

TEST_F(Glow, TheSmallCaptureNeverShows) {
    // The frame as drawn equals the same pass laid over a clean buffer with the same glow texture:
    // nothing of the 128 x 128 capture is left in the lower-left corner.
    const std::vector<uint8_t> framed = redraw(true, true);
    const std::vector<uint8_t> clean = redraw(false, true);
    EXPECT_EQ(differingPixels(framed, clean), 0);

    // Without the clear the corner would differ: the capture really draws there.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    camera();
    glViewport(0, 0, 128, 128);
    scene->drawWedges(false);
    glViewport(0, 0, width, height);
    scene->drawWedges(true);
    scene->drawGlow(12, 0.02f);
    EXPECT_GT(differingPixels(context->pixels(), clean), 500);
}

TEST_F(Glow, TheLogoStaysOutOfTheGlow) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);  // as the frame does before its capture
    camera();
    scene->captureGlow();
    const std::vector<uint8_t> captured = glowImage();
    // The logo does fall inside the small picture, so it would show if it were let in.
    EXPECT_TRUE(captured != captureByHand(true));
    EXPECT_TRUE(captured == captureByHand(false));
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
    GLint viewport[4], bound = -1, mode = 0, format = 0, filter = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::pair(viewport[2], viewport[3]), std::pair(width, height));

    scene->drawWedges(true);
    scene->drawGlow(12, 0.02f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_TRUE(matrix(GL_PROJECTION_MATRIX) == projection);
    EXPECT_TRUE(matrix(GL_MODELVIEW_MATRIX) == modelview);

    glBindTexture(GL_TEXTURE_2D, glowTexture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(format, GL_LUMINANCE);
    EXPECT_EQ(filter, GL_LINEAR);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Each frame is compared with its own visible pass drawn again by hand, with and without the glow.
TEST_F(Glow, KeySSwitchesItOffAndOn) {
    scene->handleKey(vk::keyS);
    frameAfter(0);
    const std::vector<uint8_t> off = context->pixels();
    EXPECT_EQ(differingPixels(off, redraw(false, false)), 0);
    scene->handleKey(vk::keyS);
    frameAfter(0);
    EXPECT_EQ(differingPixels(context->pixels(), redraw(true, true)), 0);
}
