// Scene construction: the state it leaves in OpenGL and in its own fields.
#include "support/scene_fixture.h"

#include <cmath>
#include <cstring>

#include "scene/random.h"

using SceneSetup = SceneTest;

TEST_F(SceneSetup, ConstructionLeavesTheListedState) {
    EXPECT_EQ(currentScene, scene.get());
    EXPECT_EQ(currentDiscField, scene->discField.get());
    // Geometry still built for 36 degrees; the disc field's first random count is already the target.
    EXPECT_EQ(scene->wedgesToDraw, 10);
    EXPECT_TRUE(scene->transitionActive);
    EXPECT_EQ(scene->transitionFrom, 36.0f);
    EXPECT_EQ(scene->wedgeAngle, 360.0f / scene->wedgeCount);
    EXPECT_EQ(int(scene->wedgeCount) % 2, 0);

    GLint viewport[4], depthFunc = 0, mode = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], width);
    EXPECT_EQ(viewport[3], height);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

// gluPerspective(90, w / h, 1, 20): the vertical field of view is 90 degrees at any aspect ratio.
TEST_F(SceneSetup, ProjectionKeepsNinetyDegreesVertically) {
    for (auto size : {std::pair{160, 120}, std::pair{60, 200}}) {
        scene.reset();
        context = std::make_unique<OffscreenContext>(size.first, size.second);
        ASSERT_TRUE(context->ok());
        scene = std::make_unique<Kaleidoscope>(size.first, size.second);
        double m[16];
        glGetDoublev(GL_PROJECTION_MATRIX, m);
        const double aspect = double(size.first) / size.second;
        EXPECT_NEAR(m[5], 1.0, 1e-6);  // cot(45 degrees)
        EXPECT_NEAR(m[0], 1.0 / aspect, 1e-6);
        EXPECT_NEAR(m[10], -21.0 / 19.0, 1e-6);
        EXPECT_NEAR(m[14], -40.0 / 19.0, 1e-6);
        EXPECT_EQ(m[11], -1.0);
    }
}

TEST(GlowExtensions, PlainSubstringSearchOfBothNames) {
    EXPECT_TRUE(extensionsOfferGlow("GL_ARB_multitexture GL_EXT_compiled_vertex_array"));
    EXPECT_TRUE(extensionsOfferGlow("GL_EXT_compiled_vertex_arrayX GL_ARB_multitexture_more"));
    EXPECT_FALSE(extensionsOfferGlow("GL_ARB_multitexture"));
    EXPECT_FALSE(extensionsOfferGlow("GL_EXT_compiled_vertex_array GL_ARB_texture"));
    EXPECT_FALSE(extensionsOfferGlow(""));
    EXPECT_FALSE(extensionsOfferGlow(nullptr));
}

// Run by ctest with MESA_EXTENSION_OVERRIDE=-GL_ARB_multitexture.
using WithoutMultitexture = SceneTest;
TEST_F(WithoutMultitexture, NoGlowTextureAndKeySStillConsumed) {
    const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (std::strstr(ext, "GL_ARB_multitexture")) GTEST_SKIP() << "run with the extension hidden";
    EXPECT_FALSE(glowAvailable);
    EXPECT_TRUE(scene->handleKey(vk::keyS));
    EXPECT_TRUE(scene->glowOff);
    EXPECT_TRUE(scene->handleKey(vk::keyS));
    frameAfter(40);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // With S back on the frame is still exactly its plain visible pass.
    const std::vector<uint8_t> frame = context->pixels();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 5.5, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    scene->drawWedges(true);
    EXPECT_TRUE(context->pixels() == frame);
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
