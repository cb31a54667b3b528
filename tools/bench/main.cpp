// quillon-bench: what the saver costs, on Google Benchmark over a real OSMesa context. Frames are held
// against the same GL work replayed bare and against a clear-only floor; the simulation, construction and
// pacing are measured on the scripted clock; the X11 saver is timed and its CPU use read on Xvfb.
// scripts/performance.sh runs it and writes docs/performance.md from its JSON output.
#include <benchmark/benchmark.h>

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/gl.h"
#include "tools/bench/benches.h"
#include "tools/osmesa_context.h"

namespace {

const char usage[] =
    "usage: quillon-bench [benchmark options] [options]\n"
    "  --frames=N            iterations per drawFrame case (20); cheap frames take several samples each\n"
    "  --case-seconds=S      about how long a drawFrame case runs, when its frames are cheap (3)\n"
    "  --host=PATH           the quillon executable for Host/... (default: the one built beside this)\n"
    "  --shim=PATH           its preload library (default: the one built beside this)\n"
    "  --no-host             leave out Host/...\n"
    "  --host-seconds=S      seconds of CPU measurement per size (30), after --settle-seconds (10)\n"
    "  --starts=N            timed starts per size (10)\n"
    "  --dump-frames=DIR     write the frames the before-and-after comparison checks, and stop\n"
    "Benchmark options: --benchmark_filter=REGEX, --benchmark_out=FILE, --benchmark_out_format=json ...\n";

bool option(const char* argument, const char* name, std::string& value) {
    const size_t length = std::strlen(name);
    if (std::strncmp(argument, name, length) != 0 || argument[length] != '=') return false;
    value = argument + length + 1;
    return true;
}

// A file of the build tree relative to this executable (tools/), or "" when there is none.
std::string besideExecutable(const char* relative) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "";
    self[length] = '\0';
    std::string path(self);
    path = path.substr(0, path.rfind('/') + 1) + relative;
    return access(path.c_str(), R_OK) == 0 ? path : "";
}

std::string firstLineWith(const char* path, const char* key) {
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        if (line.compare(0, std::strlen(key), key) != 0) continue;
        const size_t colon = line.find(':');
        return colon == std::string::npos ? line : line.substr(line.find_first_not_of(" \t", colon + 1));
    }
    return "unknown";
}

// The machine and renderer, recorded in the output's context.
void describeMachine() {
    OffscreenContext probe(16, 16);
    if (probe.ok()) {
        benchmark::AddCustomContext("gl_renderer", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        benchmark::AddCustomContext("gl_version", reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    }
    benchmark::AddCustomContext("cpu_model", firstLineWith("/proc/cpuinfo", "model name"));
    benchmark::AddCustomContext("online_cpus", std::to_string(sysconf(_SC_NPROCESSORS_ONLN)));
    std::ifstream loadFile("/proc/loadavg");
    std::string load;
    std::getline(loadFile, load);
    benchmark::AddCustomContext("load_at_start", load);
    utsname system{};
    if (uname(&system) == 0) benchmark::AddCustomContext("kernel", std::string(system.sysname) + " " + system.release);
    benchmark::AddCustomContext("compiler", __VERSION__);
    const char* threads = std::getenv("LP_NUM_THREADS");
    benchmark::AddCustomContext("lp_num_threads", threads ? threads : "default");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    int frames = 20;
    double caseSeconds = 3.0;
    bool host = true;
    bench::HostOptions hostOptions{besideExecutable("../host/x11/quillon"), besideExecutable("libquillon-swap-clock.so")};
    std::string value, dumpDirectory;
    for (int i = 1; i < argc; ++i) {
        if (option(argv[i], "--frames", value)) frames = std::atoi(value.c_str());
        else if (option(argv[i], "--case-seconds", value)) caseSeconds = std::atof(value.c_str());
        else if (option(argv[i], "--host", value)) hostOptions.quillon = value;
        else if (option(argv[i], "--shim", value)) hostOptions.shim = value;
        else if (std::strcmp(argv[i], "--no-host") == 0) host = false;
        else if (option(argv[i], "--host-seconds", value)) hostOptions.measureSeconds = std::atof(value.c_str());
        else if (option(argv[i], "--settle-seconds", value)) hostOptions.settleSeconds = std::atof(value.c_str());
        else if (option(argv[i], "--starts", value)) hostOptions.starts = std::atoi(value.c_str());
        else if (option(argv[i], "--dump-frames", value)) dumpDirectory = value;
        else {
            std::fputs(usage, std::strcmp(argv[i], "--help") == 0 ? stdout : stderr);
            return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
        }
    }
    if (!dumpDirectory.empty()) return bench::dumpFrames(dumpDirectory);
    if (frames < 1 || hostOptions.starts < 1) {
        std::fputs(usage, stderr);
        return 2;
    }

    describeMachine();
    bench::registerSimulationBenchmarks();
    bench::registerFrameBenchmarks(frames, caseSeconds);
    if (host && !hostOptions.quillon.empty() && !hostOptions.shim.empty())
        bench::registerHostBenchmarks(hostOptions);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
