// The monitor layout as the hosts use it: screen rectangles in, the copies' window rectangles out.
#include <gtest/gtest.h>

#include <climits>

#include "host/monitor_layout.h"

using Rects = std::vector<PixelRect>;

// How GoogleTest shows a rectangle: as X geometry, WxH+X+Y.
static void PrintTo(const PixelRect& r, std::ostream* out) {
    *out << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
}

TEST(MonitorLayout, OneCopyPerDistinctMonitorPartElseTheWholeWindow) {
    const PixelRect left{-1024, -100, 1024, 768}, right{0, 0, 800, 600};
    const PixelRect both{-1024, -100, 1824, 768};  // the bounding box: a full-screen window
    const struct { const char* what; Rects monitors; PixelRect window; Rects copies; } cases[] = {
        {"side by side, negative origin", {left, right}, both, {{0, 0, 1024, 768}, {1024, 100, 800, 600}}},
        {"stacked", {{0, -600, 800, 600}, {0, 0, 1024, 768}}, {0, -600, 1024, 1368},
         {{0, 0, 800, 600}, {0, 600, 1024, 768}}},
        {"a cloned pair beside a third", {right, left, right}, both, {{1024, 100, 800, 600}, {0, 0, 1024, 768}}},
        {"a cloned pair alone", {right, right}, right, {{0, 0, 800, 600}}},
        {"partly outside: the part inside", {left, right}, {-1024, -100, 1500, 668},
         {{0, 0, 1024, 668}, {1024, 100, 476, 568}}},
        {"a window within one monitor", {left, right}, {100, 50, 400, 300}, {{0, 0, 400, 300}}},
        {"beyond the window, touching it, empty", {left, {5000, 0, 640, 480}, {-500, 668, 800, 50}, {0, 0, 0, 600}}, both,
         {{0, 0, 1824, 768}}},
        {"no monitors", {}, both, {{0, 0, 1824, 768}}},
        {"edges past INT_MAX", {{INT_MAX - 100, 0, 100, 10}, {INT_MAX - 200, 0, INT_MAX, 10}},
         {INT_MAX - 300, 0, 1000, 10}, {{200, 0, 100, 10}, {100, 0, 900, 10}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(layoutMonitors(c.monitors, c.window), c.copies) << c.what;
}
