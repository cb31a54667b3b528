// The benchmark groups of quillon-bench and what they share; each group registers its own cases.
#pragma once

#include <string>

namespace bench {

constexpr double frameBudgetMs = 1000.0 / 24.0;

// Frame/...: drawFrame, its same-work bare replay and the floor frame, side by side (frame_bench.cpp).
// Each case runs `framesPerCase` iterations of one or more samples, about `caseSeconds` in all.
void registerFrameBenchmarks(int framesPerCase, double caseSeconds);
// Writes the frames the before-and-after comparison checks byte for byte; 0 on success.
int dumpFrames(const std::string& directory);

// Simulation/..., Construction/... and Pacing/... (simulation_bench.cpp).
void registerSimulationBenchmarks();

// Host/...: the X11 saver on Xvfb, start to first frame and CPU per second (host_bench.cpp).
struct HostOptions {
    std::string quillon;  // the quillon executable
    std::string shim;     // the preload library that reports each presented frame
    int starts = 10;
    double settleSeconds = 10.0;
    double measureSeconds = 30.0;
};
void registerHostBenchmarks(const HostOptions& options);

}  // namespace bench
