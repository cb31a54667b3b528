// Simulation/... (the per-frame work without drawing), Construction/... (what building a scene costs) and
// Pacing/... (the adaptive delay driven by the scripted counter: a frame's cost is chosen, not measured).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "discs/disc_field.h"
#include "images/jpeg_resource.h"
#include "platform/gl.h"
#include "platform/manual.h"
#include "tools/bench/alloc_counter.h"
#include "tools/bench/benches.h"
#include "tools/bench/scene_rig.h"

namespace bench {
namespace {

constexpr int smallWidth = 160, smallHeight = 120;  // no drawing here: the context only has to exist

// Times `work` alone with the steady clock, `prepare` (state set-up) left out.
template <class Prepare, class Work>
void manualLoop(benchmark::State& state, Prepare&& prepare, Work&& work) {
    for (auto _ : state) {
        prepare();
        const double start = nowMs();
        work();
        state.SetIterationTime((nowMs() - start) / 1000.0);
    }
}

// The whole simulation of one frame: clock, disc field, transition, geometry. Steady-state allocations
// are counted over the run.
void simulationFrame(benchmark::State& state) {
    SceneRig rig(smallWidth, smallHeight);
    Kaleidoscope& scene = *rig.scene;
    uint64_t made = 0;
    manualLoop(state, [] { platform::manual::advanceMilliseconds(frameMs); },
               [&] {
                   const alloc_counter::Counts before = alloc_counter::now();
                   scene.update(frameOptionMirrors);
                   made += alloc_counter::since(before).all;
               });
    state.counters["mallocs_frame"] = double(made) / double(state.iterations());
}

void discStep(benchmark::State& state) {
    SceneRig rig(smallWidth, smallHeight);
    Kaleidoscope& scene = *rig.scene;
    manualLoop(state, [&] {
        platform::manual::advanceMilliseconds(frameMs);
        scene.updateClock();
    }, [&] { scene.discField->step(); });
}

// Every disc piled at the bottom of the circle: every square test passes and every pair pushes.
void discStepCrowded(benchmark::State& state) {
    SceneRig rig(smallWidth, smallHeight);
    DiscField& field = *rig.scene->discField;
    std::vector<Disc> piled(field.discs.get(), field.discs.get() + discCount);
    for (int i = 0; i < discCount; ++i) {
        piled[i].position = {0.002f * float(i % 10) - 0.01f, -3.0f + 0.002f * float(i / 10), piled[i].position.z};
        piled[i].velocity = {0.0f, 0.0f, 0.0f};
    }
    manualLoop(state, [&] { std::copy(piled.begin(), piled.end(), field.discs.get()); }, [&] { field.step(); });
}

void buildWedges(benchmark::State& state, float angle) {
    SceneRig rig(smallWidth, smallHeight, 0);
    for (auto _ : state) {
        rig.scene->buildWedges(angle);
        benchmark::DoNotOptimize(rig.scene->clipPlane1);
    }
}

void transitionStep(benchmark::State& state) {
    SceneRig rig(smallWidth, smallHeight, 0);
    Kaleidoscope& scene = *rig.scene;
    scene.transitionFrom = 36.0f, scene.transitionTo = 15.0f, scene.transitionDuration = 2.0f;
    scene.transitionStart = scene.clockSeconds - 0.7f;
    for (auto _ : state) {
        scene.transitionActive = true;
        scene.stepTransition();
        benchmark::DoNotOptimize(scene.wedgeAngle);
    }
}

void chooseWedgeCount(benchmark::State& state) {
    SceneRig rig(smallWidth, smallHeight, 0);
    for (auto _ : state) {
        rig.scene->chooseWedgeCount();
        benchmark::DoNotOptimize(rig.scene->wedgeAngle);
    }
}

void handleKey(benchmark::State& state, uint32_t code) {
    SceneRig rig(smallWidth, smallHeight);
    for (auto _ : state) benchmark::DoNotOptimize(rig.scene->handleKey(code));
}

// Construction, piece by piece and whole. Each piece's textures are deleted outside the timing.
void constructScene(benchmark::State& state) {
    SceneRig rig(640, 480, 0);
    std::unique_ptr<Kaleidoscope> built;
    manualLoop(state, [&] {
        if (built) {
            built.reset();
            glDeleteTextures(1, &glowTexture);
        }
    }, [&] { built = std::make_unique<Kaleidoscope>(640, 480); });
    built.reset();
    currentScene = rig.scene.get();
    currentDiscField = rig.scene->discField.get();
}

void loadJpeg(benchmark::State& state, const char* resource) {
    SceneRig rig(smallWidth, smallHeight, 0);
    TextureImage image{};
    manualLoop(state, [&] {
        if (image.texture) glDeleteTextures(1, &image.texture);
        image = TextureImage{};
    }, [&] { loadJpegResource(image, resource); });
    if (!image.texture) state.SkipWithError("the image did not load");
    glDeleteTextures(1, &image.texture);
}

void uploadMask(benchmark::State& state, uint32_t width, uint32_t height) {
    SceneRig rig(smallWidth, smallHeight, 0);
    TextureImage image{};
    manualLoop(state, [&] {
        if (image.texture) glDeleteTextures(1, &image.texture);
        image = TextureImage{nullptr, 8, width, height, 0};
        image.pixels = static_cast<unsigned char*>(std::malloc(size_t(width) * height));
        for (size_t i = 0; i < size_t(width) * height; ++i) image.pixels[i] = static_cast<unsigned char>(i * 7);
    }, [&] { uploadTexture(image); });
    glDeleteTextures(1, &image.texture);
}

// A fresh context, the scene built on it, its first frame (the renderer compiles its shaders here) and the
// second: where the start of a saver goes before the first frame can be shown.
void firstFrame(benchmark::State& state, int width, int height) {
    std::vector<double> contextMs, sceneMs, firstMs, secondMs;
    for (auto _ : state) {
        platform::manual::setFrequency(platform::manual::defaultFrequency);
        const double start = nowMs();
        auto context = std::make_unique<OffscreenContext>(width, height);
        const double contextReady = nowMs();
        auto scene = std::make_unique<Kaleidoscope>(width, height);
        glFinish();
        const double sceneReady = nowMs();
        for (std::vector<double>* frame : {&firstMs, &secondMs}) {
            const double frameStart = nowMs();
            platform::manual::advanceMilliseconds(frameMs);
            scene->drawFrame(frameOptionMirrors);
            glFinish();
            frame->push_back(nowMs() - frameStart);
        }
        state.SetIterationTime((nowMs() - start - secondMs.back()) / 1000.0);
        contextMs.push_back(contextReady - start), sceneMs.push_back(sceneReady - contextReady);
        scene.reset();
    }
    state.counters["context_ms"] = median(contextMs);
    state.counters["scene_ms"] = median(sceneMs);
    state.counters["first_frame_ms"] = median(firstMs);
    state.counters["second_frame_ms"] = median(secondMs);
}

void spawnAll(benchmark::State& state) {
    SceneRig rig(smallWidth, smallHeight, 0);
    for (auto _ : state) rig.scene->discField->spawnAll();
}

// The host's loop on the scripted counter: a frame costs `costMs`, then the loop sleeps sleepMs. Over two
// minutes of scene time, the rate of every sample after `settleSeconds` must lie within 24 +/- 1 (a frame
// within the budget), or sleepMs must stay at 1 (a frame over it).
void pacing(benchmark::State& state, double costMs) {
    constexpr double settleSeconds = 10.0, runSeconds = 120.0;
    const bool withinBudget = costMs < frameBudgetMs;
    for (auto _ : state) {
        SceneRig rig(smallWidth, smallHeight, 0);
        Kaleidoscope& scene = *rig.scene;
        double lowest = 1e9, highest = 0, lastOutside = 0, highestSleep = 0;
        int64_t micros = 0;
        while (scene.clockSeconds < runSeconds) {
            micros += int64_t(costMs * 1000.0) + int64_t(scene.sleepMs) * 1000;
            platform::manual::setCounter(micros);
            const float sampledAt = scene.lastFpsSampleTime;
            scene.update(frameOptionMirrors);
            const bool sample = scene.lastFpsSampleTime != sampledAt;
            const bool outside = withinBudget ? sample && (scene.measuredFps < 23.0f || scene.measuredFps > 25.0f)
                                              : scene.sleepMs != 1;
            if (outside) lastOutside = scene.clockSeconds;
            if (scene.clockSeconds > settleSeconds) {
                if (sample) lowest = std::min(lowest, double(scene.measuredFps));
                if (sample) highest = std::max(highest, double(scene.measuredFps));
                highestSleep = std::max(highestSleep, double(scene.sleepMs));
            }
        }
        state.counters["settled_s"] = lastOutside;
        state.counters["fps_min"] = lowest;
        state.counters["fps_max"] = highest;
        state.counters["sleep_max_ms"] = highestSleep;
        state.counters["passed"] = lastOutside <= settleSeconds ? 1 : 0;
    }
}

// A short case in microseconds, run five times: the output keeps the median, mean and spread.
template <class... Args>
benchmark::internal::Benchmark* shortCase(const std::string& name, Args&&... args) {
    return benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
}

}  // namespace

void registerSimulationBenchmarks() {
    shortCase("Simulation/frame", simulationFrame)->UseManualTime();
    shortCase("Simulation/step/typical", discStep)->UseManualTime();
    shortCase("Simulation/step/crowded", discStepCrowded)->UseManualTime();
    shortCase("Simulation/buildWedges/whole", buildWedges, 36.0f);
    shortCase("Simulation/buildWedges/partial", buildWedges, 50.0f);
    shortCase("Simulation/transition", transitionStep);
    shortCase("Simulation/chooseWedgeCount", chooseWedgeCount);
    const struct {
        const char* name;
        uint32_t code;
    } keys[] = {{"space", vk::space}, {"left", vk::left}, {"right", vk::right}, {"up", vk::up}, {"down", vk::down},
                {"digit", '5'},       {"M", vk::keyM},    {"S", vk::keyS},      {"G", vk::keyG}, {"other", 'A'}};
    for (const auto& key : keys) shortCase(std::string("Simulation/handleKey/") + key.name, handleKey, key.code);

    shortCase("Construction/scene", constructScene)->UseManualTime();
    shortCase("Construction/jpeg/discs", loadJpeg, "JPEG_DISCS_MASK")->UseManualTime();
    shortCase("Construction/jpeg/logo", loadJpeg, "LOGO_MASK")->UseManualTime();
    shortCase("Construction/upload/discs", uploadMask, 512u, 64u)->UseManualTime();
    shortCase("Construction/upload/logo", uploadMask, 256u, 64u)->UseManualTime();
    shortCase("Construction/spawn", spawnAll);
    for (const auto& size : {std::pair{1024, 768}, std::pair{1920, 1080}}) {
        const std::string name = std::to_string(size.first) + "x" + std::to_string(size.second);
        benchmark::RegisterBenchmark(("Construction/first_frame/" + name).c_str(), firstFrame, size.first,
                                     size.second)
            ->UseManualTime()
            ->Iterations(5)
            ->Unit(benchmark::kMillisecond);
    }

    for (const double cost : {1.0, 5.0, 20.0, 35.0, 45.0, 60.0, 120.0}) {
        const std::string kind = cost < frameBudgetMs ? "cheap/" : "slow/";
        benchmark::RegisterBenchmark(("Pacing/" + kind + std::to_string(int(cost)) + "ms").c_str(), pacing, cost)
            ->Iterations(1);
    }
}

}  // namespace bench
