// The test fixture: an OSMesa context, the scripted clock, and a constructed scene to drive frame by frame.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "discs/disc_field.h"
#include "platform/gl.h"
#include "platform/manual.h"
#include "scene/kaleidoscope.h"
#include "tools/osmesa_context.h"

// A disc at rest at `position`, `size` across each way, unturned, in cell 0, colourless, at phase 0.
inline Disc discAt(Vec3 position, float size) {
    Disc disc{};
    disc.position = position;
    disc.size = size;
    return disc;
}

// A fresh OSMesa context per test, with the scripted clock at 0, the calendar at a fixed seed, and a scene
// constructed on it.
class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::manual::setFrequency(platform::manual::defaultFrequency);
        platform::manual::setCalendarSeconds(1234567);  // seed 1234567 % 256 = 135
        platform::manual::clearResources();
        context = std::make_unique<OffscreenContext>(width, height);
        ASSERT_TRUE(context->ok()) << "no OSMesa context";
        scene = std::make_unique<Kaleidoscope>(width, height);
    }
    void TearDown() override {
        scene.reset();
        platform::manual::clearResources();
    }

    // Moves the scripted clock on and draws one frame with the given options.
    void frameAfter(int64_t ms, uint32_t options = frameOptionMirrors) {
        platform::manual::advanceMilliseconds(ms);
        scene->drawFrame(options);
    }

    static void camera() {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(0.0, 0.0, 5.5, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    }

    int width = 160, height = 120;
    std::unique_ptr<OffscreenContext> context;
    std::unique_ptr<Kaleidoscope> scene;
};
