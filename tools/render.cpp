// quillon-render: draws the running kaleidoscope headless on OSMesa and writes PNG pictures of it.
// Uses the scripted platform clock, so a render is the same on every machine and never waits.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "host/monitor_layout.h"
#include "platform/gl.h"
#include "platform/manual.h"
#include "scene/kaleidoscope.h"
#include "tools/osmesa_context.h"
#include "tools/png_writer.h"

namespace {

struct KeyPress {
    int frame;
    uint32_t code;
};

struct Options {
    int width = 640, height = 480;
    bool sizeGiven = false;
    int32_t windowX = 0, windowY = 0;  // the picture's top left in screen pixels
    std::vector<PixelRect> monitors;  // screen pixels; empty: one picture over the whole window
    int frames = 120;
    int frameMs = 42;  // the saver's own pace: 24 frames a second
    int seed = 0;
    bool mirrors = true, glow = true;
    int sheetColumns = 0, sheetRows = 0;  // 0: one picture of the last frame
    int every = 0;                        // > 0: also a numbered picture every so many frames
    std::string out = "quillon.png";
    std::vector<KeyPress> keys;
    bool quiet = false;
};

void usage(FILE* to) {
    std::fprintf(to,
                 "usage: quillon-render [options]\n"
                 "  --size WxH        picture size in pixels (640x480)\n"
                 "  --monitors WxH+X+Y,...\n"
                 "                    monitors in screen pixels (X, Y: a signed left and top edge, e.g.\n"
                 "                    1024x768-1024+0 lies left of 0); the picture is the box around them,\n"
                 "                    or the --size window at +0+0, with one copy per monitor inside it\n"
                 "  --frames N        frames to run (120); or --seconds S of scene time\n"
                 "  --frame-ms MS     scene time per frame (42)\n"
                 "  --seed N          0..255, the seed the saver takes from the clock (0)\n"
                 "  --no-mirrors      draw the field once, as with the mirrors setting off\n"
                 "  --no-glow         switch the glow off, as the S key does\n"
                 "  --sheet CxR       a contact sheet of C x R frames spread over the run\n"
                 "  --every N         also write OUT-NNNN.png every N frames (for an animation)\n"
                 "  --key F:CODE      press a virtual-key code before frame F (e.g. 60:53 for digit 5)\n"
                 "  --out FILE        output picture (quillon.png)\n"
                 "  --quiet           no progress line\n");
}

bool parseSize(const char* text, int& a, int& b, char separator) {
    char* end = nullptr;
    a = int(std::strtol(text, &end, 10));
    if (!end || *end != separator) return false;
    b = int(std::strtol(end + 1, &end, 10));
    return end && *end == '\0' && a > 0 && b > 0 && a <= 8192 && b <= 8192;
}

// A decimal number at `at`, a '-' allowed before it when `negativeOk`; moves `at` past it.
bool readNumber(const char*& at, bool negativeOk, long& value) {
    const char* digits = negativeOk && *at == '-' ? at + 1 : at;
    if (*digits < '0' || *digits > '9') return false;  // no blank, no '+' and no second sign
    char* stop = nullptr;
    value = std::strtol(at, &stop, 10);  // saturates on overflow, which the range checks refuse
    at = stop;
    return true;
}

// An edge written "+N" or "-N".
bool readEdge(const char*& at, long& value) {
    if (*at == '+') return readNumber(++at, false, value);
    return *at == '-' && readNumber(at, true, value);
}

// One monitor, "WxH+X+Y" (or with '-' before X or Y); moves `at` past it.
bool parseMonitor(const char*& at, PixelRect& monitor) {
    long width = 0, height = 0, x = 0, y = 0;
    if (!readNumber(at, false, width) || *at++ != 'x' || !readNumber(at, false, height) || !readEdge(at, x) ||
        !readEdge(at, y))
        return false;
    const long reach = 1L << 20;
    if (width < 1 || width > 8192 || height < 1 || height > 8192) return false;
    if (x < -reach || x > reach || y < -reach || y > reach) return false;
    monitor = PixelRect{int32_t(x), int32_t(y), int32_t(width), int32_t(height)};
    return true;
}

bool parseMonitors(const char* text, std::vector<PixelRect>& monitors) {
    monitors.clear();
    for (const char* at = text;; ++at) {
        PixelRect monitor{};
        if (!parseMonitor(at, monitor)) return false;
        monitors.push_back(monitor);
        if (*at == '\0') return true;
        if (*at != ',') return false;
    }
}

bool parseInt(const char* text, int& value, int low, int high) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || end == text || v < low || v > high) return false;
    value = int(v);
    return true;
}

// Without --size the picture is the box around the monitors, within the picture size limit.
bool fitWindowToMonitors(Options& o) {
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (const PixelRect& m : o.monitors) {
        left = std::min<int64_t>(left, m.x);
        top = std::min<int64_t>(top, m.y);
        right = std::max<int64_t>(right, int64_t(m.x) + m.width);
        bottom = std::max<int64_t>(bottom, int64_t(m.y) + m.height);
    }
    if (right - left > 8192 || bottom - top > 8192) {
        std::fprintf(stderr, "quillon-render: the monitors span %lldx%lld, more than 8192 pixels a side\n",
                     (long long)(right - left), (long long)(bottom - top));
        return false;
    }
    o.windowX = int32_t(left);
    o.windowY = int32_t(top);
    o.width = int(right - left);
    o.height = int(bottom - top);
    return true;
}

// Returns false (after a message) when the arguments are unusable.
bool parseOptions(int argc, char** argv, Options& o) {
    double seconds = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needs = [&](bool ok) {
            if (!value || !ok) std::fprintf(stderr, "quillon-render: bad or missing value for %s\n", arg.c_str());
            ++i;
            return value && ok;
        };
        if (arg == "--help" || arg == "-h") { usage(stdout); std::exit(0); }
        else if (arg == "--no-mirrors") o.mirrors = false;
        else if (arg == "--no-glow") o.glow = false;
        else if (arg == "--quiet") o.quiet = true;
        else if (arg == "--size") {
            if (!needs(value && parseSize(value, o.width, o.height, 'x'))) return false;
            o.sizeGiven = true;
        } else if (arg == "--monitors") {
            if (!needs(value != nullptr)) return false;
            if (!parseMonitors(value, o.monitors)) {
                std::fprintf(stderr,
                             "quillon-render: --monitors %s: want WxH+X+Y[,WxH+X+Y...], sizes 1 to 8192, edges "
                             "within +-1048576\n",
                             value);
                return false;
            }
        } else if (arg == "--sheet") { if (!needs(value && parseSize(value, o.sheetColumns, o.sheetRows, 'x'))) return false; }
        else if (arg == "--frames") { if (!needs(value && parseInt(value, o.frames, 1, 10000000))) return false; }
        else if (arg == "--frame-ms") { if (!needs(value && parseInt(value, o.frameMs, 1, 10000))) return false; }
        else if (arg == "--seed") { if (!needs(value && parseInt(value, o.seed, 0, 255))) return false; }
        else if (arg == "--every") { if (!needs(value && parseInt(value, o.every, 1, 10000000))) return false; }
        else if (arg == "--out") { if (!needs(value != nullptr)) return false; o.out = value; }
        else if (arg == "--seconds") {
            if (!needs(value != nullptr)) return false;
            seconds = std::atof(value);
            if (!(seconds > 0 && seconds < 1e6)) { std::fprintf(stderr, "quillon-render: bad --seconds\n"); return false; }
        } else if (arg == "--key") {
            KeyPress key{};
            int code = 0;
            if (!needs(value && parseSize(value, key.frame, code, ':'))) return false;
            key.code = uint32_t(code);
            o.keys.push_back(key);
        } else {
            std::fprintf(stderr, "quillon-render: unknown option %s\n", arg.c_str());
            usage(stderr);
            return false;
        }
    }
    if (seconds > 0) o.frames = std::max(1, int(seconds * 1000.0 / o.frameMs + 0.5));
    return o.monitors.empty() || o.sizeGiven || fitWindowToMonitors(o);
}

// Copies one frame into cell `index` of a sheet of cells, keeping OpenGL's bottom-up row order.
void placeInSheet(std::vector<uint8_t>& sheet, const Options& o, int index, const std::vector<uint8_t>& frame) {
    const int column = index % o.sheetColumns, row = index / o.sheetColumns;
    const size_t sheetWidth = size_t(o.width) * size_t(o.sheetColumns);
    const size_t top = size_t(o.sheetRows - 1 - row) * size_t(o.height);  // first cell at the top left
    for (int y = 0; y < o.height; ++y) {
        const uint8_t* from = frame.data() + size_t(y) * size_t(o.width) * 4;
        uint8_t* to = sheet.data() + ((top + size_t(y)) * sheetWidth + size_t(column) * size_t(o.width)) * 4;
        std::memcpy(to, from, size_t(o.width) * 4);
    }
}

std::string numbered(const std::string& out, int frame) {
    const size_t dot = out.rfind(".png");
    char number[16];
    std::snprintf(number, sizeof number, "-%04d", frame);
    return (dot == std::string::npos ? out : out.substr(0, dot)) + number + ".png";
}

bool write(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
    if (writePng(path, width, height, rgba)) return true;
    std::fprintf(stderr, "quillon-render: cannot write %s\n", path.c_str());
    return false;
}

// One line rewritten in place on a terminal; a line per tenth of the run in a log.
void progress(int frame, int frames, float seconds) {
    static const bool terminal = isatty(STDERR_FILENO) != 0;
    const bool tenth = frame * 10 / frames != (frame - 1) * 10 / frames;
    if (terminal ? frame % 24 != 0 && frame != frames : !tenth) return;
    std::fprintf(stderr, "%squillon-render: frame %d of %d (%.1f s of scene time)%s", terminal ? "\r" : "", frame,
                 frames, double(seconds), terminal && frame != frames ? "" : "\n");
}

int render(const Options& o) {
    platform::manual::setFrequency(platform::manual::defaultFrequency);
    platform::manual::setCalendarSeconds(o.seed);
    OffscreenContext context(o.width, o.height);
    if (!context.ok()) {
        std::fprintf(stderr, "quillon-render: no OSMesa context\n");
        return 1;
    }
    auto scene = std::make_unique<Kaleidoscope>(o.width, o.height);
    if (!o.glow) scene->glowOff = true;
    if (!o.monitors.empty()) scene->setViews(layoutMonitors(o.monitors, PixelRect{o.windowX, o.windowY, o.width, o.height}));

    const int cells = o.sheetColumns * o.sheetRows;
    std::vector<uint8_t> sheet(cells > 0 ? size_t(o.width) * size_t(o.height) * 4 * size_t(cells) : 0);
    const uint32_t options = o.mirrors ? frameOptionMirrors : 0u;
    for (int frame = 1; frame <= o.frames; ++frame) {
        for (const KeyPress& key : o.keys)
            if (key.frame == frame) scene->handleKey(key.code);
        platform::manual::advanceMilliseconds(o.frameMs);
        scene->drawFrame(options);

        if (cells > 0 && (frame * cells) / o.frames != ((frame - 1) * cells) / o.frames)
            placeInSheet(sheet, o, (frame * cells) / o.frames - 1, context.pixels());
        if (o.every > 0 && frame % o.every == 0 && !write(numbered(o.out, frame), o.width, o.height, context.pixels()))
            return 1;
        if (!o.quiet) progress(frame, o.frames, scene->clockSeconds);
    }

    const bool ok = cells > 0 ? write(o.out, o.width * o.sheetColumns, o.height * o.sheetRows, sheet)
                              : write(o.out, o.width, o.height, context.pixels());
    scene.reset();  // before the context goes
    if (!ok) return 1;
    std::printf("%s\n", o.out.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) return 2;
    return render(options);
}
