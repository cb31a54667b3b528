// A scene on its own OSMesa context with a fixed seed and the scripted clock, warmed up and then held at
// one state, so that one and the same frame can be drawn as often as a measurement needs (scene_rig.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "discs/disc_field.h"
#include "scene/kaleidoscope.h"
#include "tools/osmesa_context.h"

namespace bench {

constexpr int64_t frameMs = 42;  // the saver's pace: 24 frames a second of scene time

struct FrameConfig {
    int width, height, wedges;
    bool mirrors, glow;
    bool twoMonitors = false;  // 1824 x 768: monitors of 1024 x 768 and 800 x 600 side by side, a copy on each
    std::string name() const;  // "640x480/94/mirrors/glow", "1024x768+800x600/24/mirrors/glow"
    uint32_t options() const { return mirrors ? frameOptionMirrors : 0u; }
};

class SceneRig {
public:
    // Seed 42, then `warmupFrames` updated frames (six seconds: the discs have sunk and spread).
    SceneRig(int width, int height, int warmupFrames = 144);
    ~SceneRig();
    bool ok() const { return context.ok() && scene; }

    // Fixes the wedge count (no transition), the mirrors, the glow and the monitors, draws one frame and
    // holds the state. False when the core cannot draw the configuration (several monitors, before views).
    bool configure(const FrameConfig& config);
    // Keeps the current state as the one every frame starts from; restore() goes back to it.
    void hold();
    void restore();
    // One frame 42 ms after the clock; after restore() it is the held frame.
    void drawFrame();
    void drawHeldFrame() {
        restore();
        drawFrame();
    }
    // Finishes drawing and returns the colour buffer.
    const std::vector<uint8_t>& pixels() { return context.pixels(); }
    // Paints over the colour buffer and the glow texture, so that a frame must draw all of them anew.
    void scramble();

private:
    // Resets the scripted clock to 0 and the calendar to the seed, before anything else is built.
    struct ScriptedStart {
        ScriptedStart();
    } scriptedStart;

public:
    OffscreenContext context;
    std::unique_ptr<Kaleidoscope> scene;
    uint32_t options = frameOptionMirrors;

private:
    std::vector<unsigned char> heldScene, heldField;
    std::vector<Disc> heldDiscs;
    int64_t heldCounter = 0;
};

// Milliseconds of a steady clock.
double nowMs();

// The median of a sample (which it reorders).
double median(std::vector<double>& values);

}  // namespace bench
