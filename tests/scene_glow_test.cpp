// The glow: a brighter centre, a capture that never shows, the key that switches it, the state it leaves.
#include "support/scene_fixture.h"

#include <array>

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
};
}  // namespace

TEST_F(Glow, BrightensTheCentreNeverDarkensAndLeavesNoCaptureBehind) {
    const std::vector<uint8_t> plain = redraw(false), glowing = redraw(true);
    double gain = 0;
    for (int y = height / 2 - 30; y < height / 2 + 30; ++y)
        for (int x = width / 2 - 30; x < width / 2 + 30; ++x)
            for (size_t k = size_t(y * width + x) * 4; k % 4 != 3; ++k) gain += glowing[k] - plain[k];
    EXPECT_GT(gain / (3 * 60 * 60), 5.0);
    for (size_t i = 0; i < plain.size(); ++i) {  // additive layers only
        if (i % 4 == 3) continue;
        ASSERT_GE(glowing[i], plain[i]) << i / 4;
    }
    // The 128 x 128 capture in the lower-left corner is cleared: the frame is the glow over a clean buffer.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene->drawWedges(true);
    scene->drawGlow(12, 0.02f);
    EXPECT_TRUE(context->pixels() == glowing);
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
