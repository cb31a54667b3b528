// quillon-bench: times whole frames on OSMesa at the wedge counts the saver reaches, with and without
// the glow, against the saver's 24-frames-a-second budget. Not part of the tests: timings vary by machine.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/gl.h"
#include "platform/manual.h"
#include "scene/kaleidoscope.h"
#include "tools/osmesa_context.h"

namespace {
constexpr double frameBudgetMs = 1000.0 / 24.0;

struct Case {
    int wedges;
    bool glow;
};

// Median milliseconds per frame over `frames` frames, after a short warm-up.
double timeFrames(Kaleidoscope& scene, OffscreenContext& context, int frames) {
    std::vector<double> times;
    for (int i = 0; i < frames + 5; ++i) {
        platform::manual::advanceMilliseconds(42);
        const auto start = std::chrono::steady_clock::now();
        scene.drawFrame(frameOptionMirrors);
        context.pixels();  // waits for the frame to finish
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (i >= 5) times.push_back(took.count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    const int width = argc > 2 ? std::atoi(argv[1]) : 640;
    const int height = argc > 2 ? std::atoi(argv[2]) : 480;
    const int frames = argc > 3 ? std::atoi(argv[3]) : 40;
    if (width <= 0 || height <= 0 || frames <= 0) {
        std::fprintf(stderr, "usage: quillon-bench [WIDTH HEIGHT [FRAMES]]\n");
        return 2;
    }
    platform::manual::setFrequency(platform::manual::defaultFrequency);
    OffscreenContext context(width, height);
    if (!context.ok()) {
        std::fprintf(stderr, "quillon-bench: no OSMesa context\n");
        return 1;
    }
    std::printf("%dx%d, median of %d frames, budget %.1f ms a frame\n", width, height, frames, frameBudgetMs);
    int over = 0;
    for (const Case c : {Case{10, false}, Case{10, true}, Case{46, true}, Case{94, false}, Case{94, true}}) {
        auto scene = std::make_unique<Kaleidoscope>(width, height);
        scene->glowOff = !c.glow;
        scene->transitionActive = false;
        scene->wedgeAngle = 360.0f / float(c.wedges);
        const double ms = timeFrames(*scene, context, frames);
        const bool within = ms <= frameBudgetMs;
        over += within ? 0 : 1;
        std::printf("  %2d wedges, glow %-3s  %7.2f ms  %s\n", c.wedges, c.glow ? "on" : "off", ms,
                    within ? "within budget" : "OVER BUDGET");
    }
    return over == 0 ? 0 : 1;
}
