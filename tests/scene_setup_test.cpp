// Scene construction: the state it leaves in OpenGL, the seed, the random generator and the glow check.
#include "support/scene_fixture.h"
#include "support/state_digest.h"

#include <cstring>

#include "scene/random.h"

using SceneSetup = SceneTest;

// gluPerspective(90, w / h, 1, 20): 90 degrees vertically, so x is scaled by h / w; the viewport fills the window.
void expectViewportAndProjection(const Kaleidoscope& scene, int width, int height) {
    GLint viewport[4], mode = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(std::pair(viewport[2], viewport[3]), std::pair(width, height));
    EXPECT_EQ(std::pair(scene.viewportWidth, scene.viewportHeight), std::pair(width, height));
    EXPECT_EQ(mode, GL_MODELVIEW);
    double m[16];
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    EXPECT_NEAR(m[5], 1.0, 1e-6);  // cot(45 degrees)
    EXPECT_NEAR(m[0], double(height) / width, 1e-6);
    EXPECT_NEAR(m[14], -40.0 / 19.0, 1e-6);  // near 1, far 20
}

// A resize changes the viewport and the projection alone, and a frame's glow capture returns to the new size.
TEST_F(SceneSetup, ViewportAndProjectionFollowTheSize) {
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && depthFunc == GL_LEQUAL);
    expectViewportAndProjection(*scene, width, height);
    for (const auto& [w, h] : {std::pair(300, 100), std::pair(90, 200)}) {
        frameAfter(500);
        const uint64_t before = stateDigest(*scene);
        const uint32_t glow = glowTexture;
        scene->resize(w, h);
        EXPECT_TRUE(stateDigest(*scene) == before && glowTexture == glow);
        expectViewportAndProjection(*scene, w, h);
        frameAfter(40);
        expectViewportAndProjection(*scene, w, h);
    }
}

// Start times 256 seconds apart seed the same sequence, and with it the same first wedge count.
TEST_F(SceneSetup, SeedRepeatsEvery256Seconds) {
    auto firstCount = [&](int64_t calendar) {
        scene.reset();
        platform::manual::setCalendarSeconds(calendar);
        scene = std::make_unique<Kaleidoscope>(width, height);
        return std::pair{scene->wedgeCount, crt::rand()};
    };
    EXPECT_EQ(firstCount(1000), firstCount(1000 + 256 * 7));
    EXPECT_NE(firstCount(1000).second, firstCount(1001).second);
}

TEST(GlowExtensions, PlainSubstringSearchOfBothNames) {
    EXPECT_TRUE(extensionsOfferGlow("GL_EXT_compiled_vertex_arrayX GL_ARB_multitexture_more"));
    EXPECT_FALSE(extensionsOfferGlow("GL_ARB_multitexture"));
    EXPECT_FALSE(extensionsOfferGlow("GL_EXT_compiled_vertex_array GL_ARB_texture"));
    EXPECT_FALSE(extensionsOfferGlow(nullptr));
}

// Run by ctest with MESA_EXTENSION_OVERRIDE=-GL_ARB_multitexture: no glow, and S still consumed.
using WithoutMultitexture = SceneTest;
TEST_F(WithoutMultitexture, NoGlowAndTheFrameIsItsPlainPass) {
    if (std::strstr(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), "GL_ARB_multitexture"))
        GTEST_SKIP() << "run with the extension hidden";
    EXPECT_FALSE(glowAvailable);
    EXPECT_TRUE(scene->handleKey(vk::keyS));
    EXPECT_TRUE(scene->handleKey(vk::keyS));
    frameAfter(40);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    const std::vector<uint8_t> frame = context->pixels();
    EXPECT_TRUE(redraw(false) == frame);
}
