// Where the copies of the picture go on a window that spans monitors; shared by the X11 and Windows hosts.
#pragma once

#include <vector>

#include "scene/kaleidoscope.h"

// Monitors and window in screen pixels (origins may be negative); the result in window pixels, for
// Kaleidoscope::setViews. Each monitor gets the part of it inside the window, so a monitor that lies
// partly outside gets a copy centred on its visible part; monitors outside the window are dropped and
// identical parts (cloned displays) count once. Fewer than two parts left (a window within one monitor,
// no monitors known) give one copy over the whole window.
std::vector<PixelRect> layoutMonitors(const std::vector<PixelRect>& monitors, const PixelRect& window);
