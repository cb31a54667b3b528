// The monitor layout: one copy of the picture per distinct monitor part inside the window.
#include "host/monitor_layout.h"

#include <algorithm>
#include <cstdint>

namespace {
// The part of `monitor` inside `window`, in window pixels; empty (zero size) when they do not meet.
// Edges are summed in 64 bits, so no rectangle can overflow.
PixelRect partInside(const PixelRect& monitor, const PixelRect& window) {
    const int64_t left = std::max<int64_t>(monitor.x, window.x);
    const int64_t top = std::max<int64_t>(monitor.y, window.y);
    const int64_t right = std::min(int64_t(monitor.x) + monitor.width, int64_t(window.x) + window.width);
    const int64_t bottom = std::min(int64_t(monitor.y) + monitor.height, int64_t(window.y) + window.height);
    if (right <= left || bottom <= top) return PixelRect{0, 0, 0, 0};
    return PixelRect{int32_t(left - window.x), int32_t(top - window.y), int32_t(right - left), int32_t(bottom - top)};
}
}  // namespace

std::vector<PixelRect> layoutMonitors(const std::vector<PixelRect>& monitors, const PixelRect& window) {
    std::vector<PixelRect> copies;
    for (const PixelRect& monitor : monitors) {
        const PixelRect part = partInside(monitor, window);
        if (part.width == 0) continue;
        if (std::find(copies.begin(), copies.end(), part) == copies.end()) copies.push_back(part);
    }
    if (copies.size() < 2) return {PixelRect{0, 0, window.width, window.height}};
    return copies;
}
