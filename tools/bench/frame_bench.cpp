// Frame/...: every drawFrame measured beside the bare OpenGL work it stands for. The held frame is taped
// once (every GL call with its arguments) and the tape, replayed from a flat loop, must draw the very same
// pixels; then drawFrame, the replay and a floor frame (clear and finish) alternate, iteration by iteration.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/gl.h"
#include "tools/bench/alloc_counter.h"
#include "tools/bench/benches.h"
#include "tools/bench/gl_tape.h"
#include "tools/bench/scene_rig.h"

namespace bench {
namespace {

std::vector<FrameConfig> frameConfigs() {
    std::vector<FrameConfig> configs;
    for (const auto& size : {std::pair{640, 480}, std::pair{1280, 720}, std::pair{1920, 1080}})
        for (const bool glow : {false, true})
            for (const bool mirrors : {true, false})
                for (const int wedges : {10, 24, 46, 94})
                    configs.push_back({size.first, size.second, wedges, mirrors, glow});
    // Two monitors against one picture over the same window, the glow on and off.
    for (const bool glow : {false, true})
        for (const bool two : {false, true}) configs.push_back({1824, 768, 24, true, glow, two});
    return configs;
}

// Tapes the held frame and proves the tape: replayed over a scrambled buffer and glow texture it draws
// exactly the frame's bytes, and the held frame drawn again is the same too.
bool tapeHeldFrame(SceneRig& rig, gltape::Tape& tape, std::string& why) {
    rig.restore();
    gltape::start();
    rig.drawFrame();
    if (!gltape::stop(tape, why)) return false;
    const std::vector<uint8_t> drawn = rig.pixels();
    rig.scramble();
    gltape::replay(tape);
    if (rig.pixels() != drawn) {
        why = "the replayed tape draws other pixels than drawFrame";
        return false;
    }
    rig.scramble();
    rig.drawHeldFrame();
    if (rig.pixels() != drawn) {
        why = "the held frame differs when drawn again";
        return false;
    }
    return true;
}

// Sets the case's frame up and tapes it; a case that cannot be measured is skipped with the reason.
bool prepareCase(benchmark::State& state, SceneRig& rig, FrameConfig config, gltape::Tape& tape) {
    std::string why = "no OSMesa context";
    if (rig.ok()) {
        if (!rig.configure(config)) why = "this core draws one picture over the whole window only";
        else if (tapeHeldFrame(rig, tape, why)) return true;
    }
    state.SkipWithError(why.c_str());
    return false;
}

// CPU time of the calling thread, the one that issues the GL calls.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// One side of the comparison: wall time to the finished frame, the drawing thread's CPU time, allocations.
struct Side {
    std::vector<double> wall, thread;
    alloc_counter::Counts allocations;

    template <class F>
    void time(F&& work) {
        const alloc_counter::Counts before = alloc_counter::now();
        const double start = nowMs(), startCpu = threadCpuMs();
        work();
        glFinish();
        wall.push_back(nowMs() - start);
        thread.push_back(threadCpuMs() - startCpu);
        allocations.all += alloc_counter::since(before).all;
    }
};

// The held frame drawn with every call into Mesa marked: what is allocated outside those calls is ours.
double ourAllocationsPerFrame(SceneRig& rig) {
    constexpr int frames = 10;
    gltape::audit(true);
    const alloc_counter::Counts before = alloc_counter::now();
    for (int i = 0; i < frames; ++i) {
        rig.drawHeldFrame();
        glFinish();
    }
    const uint64_t ours = alloc_counter::since(before).ours;
    gltape::audit(false);
    return double(ours) / frames;
}

void measureFrame(benchmark::State& state, FrameConfig config, double caseSeconds) {
    SceneRig rig(config.width, config.height);
    gltape::Tape tape;
    if (!prepareCase(state, rig, config, tape)) return;

    Side frame, bare, floor;
    std::vector<double> toBare, toBareCpu, toFloor;
    bool frameFirst = true;
    // One sample: the frame, its replay and the floor, in turn. The order of frame and replay alternates,
    // so that neither always finds the caches the other left.
    const auto sample = [&] {
        rig.restore();
        if (frameFirst) frame.time([&] { rig.drawFrame(); });
        bare.time([&] { gltape::replay(tape); });
        if (!frameFirst) frame.time([&] { rig.drawFrame(); });
        floor.time([] { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); });
        frameFirst = !frameFirst;
        toBare.push_back(frame.wall.back() / bare.wall.back());
        toBareCpu.push_back(frame.thread.back() / bare.thread.back());
        toFloor.push_back(frame.wall.back() / floor.wall.back());
        return frame.wall.back();
    };
    // Cheap frames take several samples an iteration, so that every case runs for about `caseSeconds`.
    const double firstMs = sample() + bare.wall.back() + floor.wall.back();
    const int perIteration = std::clamp(int(caseSeconds * 1000.0 / (firstMs * double(state.max_iterations))), 1, 100);
    for (auto _ : state) {
        double frameMs = 0;
        for (int i = 0; i < perIteration; ++i) frameMs += sample();
        state.SetIterationTime(frameMs / perIteration / 1000.0);
    }
    const double n = double(frame.wall.size());
    state.counters["samples"] = n;
    const double ratio = median(toBare);
    state.counters["mallocs_ours"] = ourAllocationsPerFrame(rig);
    state.counters["frame_ms"] = median(frame.wall);
    state.counters["bare_ms"] = median(bare.wall);
    state.counters["floor_ms"] = median(floor.wall);
    state.counters["frame_thread_ms"] = median(frame.thread);
    state.counters["bare_thread_ms"] = median(bare.thread);
    state.counters["ratio_bare"] = ratio;
    state.counters["ratio_bare_thread"] = median(toBareCpu);
    state.counters["ratio_floor"] = median(toFloor);
    state.counters["ours_pct"] = 100.0 * (1.0 - 1.0 / ratio);
    state.counters["gl_calls"] = double(tape.callCount());
    state.counters["mallocs_frame"] = double(frame.allocations.all) / n;
    state.counters["mallocs_bare"] = double(bare.allocations.all) / n;
}

// What the interposed entry points cost: the same tape through them and straight to Mesa, alternating.
void measureInterposition(benchmark::State& state, FrameConfig config) {
    SceneRig rig(config.width, config.height);
    gltape::Tape tape;
    if (!prepareCase(state, rig, config, tape)) return;
    Side entry, direct;
    std::vector<double> ratio;
    for (auto _ : state) {
        entry.time([&] { gltape::replay(tape); });
        direct.time([&] { gltape::replayDirect(tape); });
        state.SetIterationTime(entry.wall.back() / 1000.0);
        ratio.push_back(entry.thread.back() / direct.thread.back());
    }
    state.counters["entry_ms"] = median(entry.wall);
    state.counters["direct_ms"] = median(direct.wall);
    state.counters["entry_thread_ms"] = median(entry.thread);
    state.counters["direct_thread_ms"] = median(direct.thread);
    state.counters["cost_pct"] = 100.0 * (median(ratio) - 1.0);
}

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (const uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// Keys before a frame of the scripted run: a transition through fractional counts, zoom and glide, spin,
// mirrors and glow off and on, a reshuffle with its renewals.
struct Key {
    int frame;
    uint32_t code;
};
constexpr Key runKeys[] = {{20, '5'},        {70, vk::right},  {90, vk::left}, {91, vk::left},  {120, vk::up},
                           {121, vk::up},    {150, vk::keyM}, {170, vk::keyM}, {190, vk::keyS}, {210, vk::keyS},
                           {230, vk::down},  {290, '0'},      {340, vk::keyG}, {341, vk::right}};

}  // namespace

void registerFrameBenchmarks(int framesPerCase, double caseSeconds) {
    for (const FrameConfig& config : frameConfigs()) {
        benchmark::RegisterBenchmark(("Frame/" + config.name()).c_str(), measureFrame, config, caseSeconds)
            ->UseManualTime()
            ->Iterations(framesPerCase)
            ->Unit(benchmark::kMillisecond);
    }
    const FrameConfig heaviestCalls{640, 480, 94, true, false};
    benchmark::RegisterBenchmark(("Interposition/" + heaviestCalls.name()).c_str(), measureInterposition,
                                 heaviestCalls)
        ->UseManualTime()
        ->Iterations(framesPerCase)
        ->Unit(benchmark::kMillisecond);
}

int dumpFrames(const std::string& directory) {
    int failures = 0;
    for (const FrameConfig& config : frameConfigs()) {
        if (config.width != 640) continue;
        SceneRig rig(config.width, config.height);
        if (!rig.ok() || !rig.configure(config)) return 1;
        rig.drawHeldFrame();
        std::string name = config.name();
        for (char& c : name) c = c == '/' ? '-' : c;
        failures += writeFile(directory + "/held-" + name + ".rgba", rig.pixels()) ? 0 : 1;
    }
    SceneRig rig(320, 240, 0);
    if (!rig.ok()) return 1;
    std::FILE* hashes = std::fopen((directory + "/run.txt").c_str(), "w");
    if (!hashes) return 1;
    size_t nextKey = 0;
    for (int frame = 1; frame <= 400; ++frame) {
        for (; nextKey < std::size(runKeys) && runKeys[nextKey].frame == frame; ++nextKey)
            rig.scene->handleKey(runKeys[nextKey].code);
        rig.drawFrame();
        const std::vector<uint8_t>& pixels = rig.pixels();
        std::fprintf(hashes, "frame %3d  %016llx\n", frame, static_cast<unsigned long long>(fnv1a(pixels)));
        if (frame % 25 == 0)
            failures += writeFile(directory + "/run-" + std::to_string(frame) + ".rgba", pixels) ? 0 : 1;
    }
    failures += std::fclose(hashes) == 0 ? 0 : 1;
    return failures == 0 ? 0 : 1;
}

}  // namespace bench
