// Host/...: the X11 saver as a user runs it, on a private Xvfb of the measured size. `quillon --window-id`
// draws into the root window with the preload library reporting each presented frame; start-up is timed
// from just before the process is spawned, and CPU use comes from the kernel's accounting (/proc/PID/stat,
// every thread of the process, the renderer's included).
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/bench/benches.h"
#include "tools/bench/scene_rig.h"

extern char** environ;

namespace bench {
namespace {

constexpr double startTimeoutMs = 20000.0;

// Ends a child: SIGTERM, a bounded wait, then SIGKILL.
void endChild(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// User plus system CPU seconds of a process, all its threads, from the kernel's accounting.
double cpuSeconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14) ticks += std::strtod(field.c_str(), nullptr);  // utime, stime
    return ticks / double(sysconf(_SC_CLK_TCK));
}

std::vector<char*> environmentWith(std::vector<std::string>& storage) {
    std::vector<char*> pointers;
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const std::string& s : storage) replaced |= std::strncmp(*e, s.c_str(), s.find('=') + 1) == 0;
        if (!replaced) pointers.push_back(*e);
    }
    for (std::string& s : storage) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

class Xvfb {
public:
    Xvfb(int width, int height) {
        int fds[2];
        if (pipe(fds) != 0) return;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        const std::string fd = std::to_string(fds[1]), screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                              "-noreset", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) pid = 0;
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        char c;
        while (pid && poll(&wait, 1, int(startTimeoutMs)) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return;
        name = ":" + number;
        if (Display* display = XOpenDisplay(name.c_str())) {
            root = RootWindow(display, DefaultScreen(display));
            XCloseDisplay(display);
        }
    }
    ~Xvfb() { endChild(pid); }
    bool ok() const { return root != 0; }

    pid_t pid = 0;
    std::string name;
    unsigned long root = 0;
};

// One saver process drawing into the Xvfb's root window; swapsMs holds each presented frame's time.
class Saver {
public:
    Saver(const HostOptions& options, const Xvfb& xvfb, const std::string& home) {
        int fds[2];
        if (pipe(fds) != 0) return;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        readFd = fds[0];
        std::vector<std::string> settings = {"DISPLAY=" + xvfb.name, "LD_PRELOAD=" + options.shim,
                                             "QUILLON_SWAP_FD=" + std::to_string(fds[1]), "HOME=" + home,
                                             "XDG_CONFIG_HOME=" + home + "/.config"};
        std::vector<char*> env = environmentWith(settings);
        char window[32];
        std::snprintf(window, sizeof window, "0x%lx", xvfb.root);
        const char* argv[] = {options.quillon.c_str(), "--window-id", window, nullptr};
        startMs = nowMs();
        if (posix_spawn(&pid, options.quillon.c_str(), nullptr, nullptr, const_cast<char**>(argv), env.data()) != 0)
            pid = 0;
        close(fds[1]);
    }
    ~Saver() {
        endChild(pid);
        if (readFd >= 0) close(readFd);
    }

    // Collects presented frames until `untilMs` (steady clock) or, with `count`, until there are that many.
    // False when the saver ended or none came in time.
    bool collect(double untilMs, size_t count = 0) {
        while (pid && (count == 0 || swapsMs.size() < count)) {
            const double left = untilMs - nowMs();
            if (left <= 0) return count == 0;
            pollfd wait{readFd, POLLIN, 0};
            if (poll(&wait, 1, int(left) + 1) != 1) continue;
            char bytes[4096];
            const ssize_t n = read(readFd, bytes, sizeof bytes);
            if (n <= 0) return false;
            pending.append(bytes, size_t(n));
            while (pending.size() >= sizeof(int64_t)) {
                int64_t nanoseconds;
                std::memcpy(&nanoseconds, pending.data(), sizeof nanoseconds);
                pending.erase(0, sizeof nanoseconds);
                swapsMs.push_back(double(nanoseconds) / 1e6);
            }
        }
        return pid != 0;
    }

    pid_t pid = 0;
    double startMs = 0;
    std::vector<double> swapsMs;

private:
    int readFd = -1;
    std::string pending;
};

struct PrivateHome {
    PrivateHome() {
        char pattern[] = "/tmp/quillon-bench-XXXXXX";
        if (mkdtemp(pattern)) path = pattern;
    }
    ~PrivateHome() {
        if (!path.empty()) rmdir(path.c_str());
    }
    std::string path;
};

void firstFrame(benchmark::State& state, HostOptions options, int width, int height) {
    Xvfb xvfb(width, height);
    if (!xvfb.ok()) return state.SkipWithError("no Xvfb");
    PrivateHome home;
    {
        Saver warmup(options, xvfb, home.path);  // the first start also fills the file cache
        if (!warmup.collect(nowMs() + startTimeoutMs, 1)) return state.SkipWithError("the saver presented no frame");
    }
    std::vector<double> samples;
    for (auto _ : state) {
        Saver saver(options, xvfb, home.path);
        if (!saver.collect(nowMs() + startTimeoutMs, 1)) return state.SkipWithError("the saver presented no frame");
        const double ms = saver.swapsMs.front() - saver.startMs;
        state.SetIterationTime(ms / 1000.0);
        samples.push_back(ms);
    }
    state.counters["first_frame_ms"] = median(samples);
}

// Frames presented in each whole second after the first frame; the last second outside 24 +/- 1 fps.
double lastSecondOutside(const std::vector<double>& swapsMs, double seconds) {
    std::vector<int> perSecond(size_t(seconds), 0);
    for (const double t : swapsMs) {
        const size_t second = size_t((t - swapsMs.front()) / 1000.0);
        if (second < perSecond.size()) ++perSecond[second];
    }
    double last = 0;
    for (size_t s = 0; s < perSecond.size(); ++s)
        if (perSecond[s] < 23 || perSecond[s] > 25) last = double(s + 1);
    return last;
}

void cpuUse(benchmark::State& state, HostOptions options, int width, int height) {
    Xvfb xvfb(width, height);
    if (!xvfb.ok()) return state.SkipWithError("no Xvfb");
    PrivateHome home;
    for (auto _ : state) {
        Saver saver(options, xvfb, home.path);
        if (!saver.collect(nowMs() + startTimeoutMs, 1)) return state.SkipWithError("the saver presented no frame");
        saver.collect(saver.swapsMs.front() + options.settleSeconds * 1000.0);
        const double startMs = nowMs(), startCpu = cpuSeconds(saver.pid), startServer = cpuSeconds(xvfb.pid);
        const size_t startFrames = saver.swapsMs.size();
        if (!saver.collect(startMs + options.measureSeconds * 1000.0))
            return state.SkipWithError("the saver ended early");
        const double seconds = (nowMs() - startMs) / 1000.0;
        const double cpu = cpuSeconds(saver.pid) - startCpu, server = cpuSeconds(xvfb.pid) - startServer;
        const double frames = double(saver.swapsMs.size() - startFrames);
        state.SetIterationTime(seconds);
        state.counters["cpu_per_s"] = cpu / seconds;
        state.counters["xvfb_cpu_per_s"] = server / seconds;
        state.counters["fps"] = frames / seconds;
        state.counters["cpu_ms_per_frame"] = 1000.0 * cpu / frames;
        state.counters["settled_s"] =
            lastSecondOutside(saver.swapsMs, options.settleSeconds + options.measureSeconds);
    }
}

}  // namespace

void registerHostBenchmarks(const HostOptions& options) {
    for (const auto& size : {std::pair{1024, 768}, std::pair{1920, 1080}}) {
        const std::string name = std::to_string(size.first) + "x" + std::to_string(size.second);
        benchmark::RegisterBenchmark(("Host/first_frame/" + name).c_str(), firstFrame, options, size.first,
                                     size.second)
            ->UseManualTime()
            ->Iterations(options.starts)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Host/cpu/" + name).c_str(), cpuUse, options, size.first, size.second)
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace bench
