// The monitors the saver's window spans, from RandR 1.5 or Xinerama, laid out as the scene's views; and the
// RandR screen-change events that lay them out again.
#include "host/monitor_layout.h"
#include "host/x11/x11_host.h"
#include "scene/kaleidoscope.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

namespace {

int randrEventBase = -1;  // -1: no RandR on this display

std::vector<PixelRect> randrMonitors() {
    int major = 0, minor = 0;
    if (randrEventBase < 0 || !XRRQueryVersion(saverDisplay, &major, &minor) || major * 100 + minor < 105)
        return {};
    int count = 0;
    XRRMonitorInfo* info = XRRGetMonitors(saverDisplay, DefaultRootWindow(saverDisplay), True, &count);
    std::vector<PixelRect> monitors;
    for (int i = 0; i < count; ++i) monitors.push_back(PixelRect{info[i].x, info[i].y, info[i].width, info[i].height});
    if (info) XRRFreeMonitors(info);
    return monitors;
}

std::vector<PixelRect> xineramaMonitors() {
    int eventBase = 0, errorBase = 0;
    if (!XineramaQueryExtension(saverDisplay, &eventBase, &errorBase) || !XineramaIsActive(saverDisplay)) return {};
    int count = 0;
    XineramaScreenInfo* screens = XineramaQueryScreens(saverDisplay, &count);
    std::vector<PixelRect> monitors;
    for (int i = 0; i < count; ++i)
        monitors.push_back(PixelRect{screens[i].x_org, screens[i].y_org, screens[i].width, screens[i].height});
    if (screens) XFree(screens);
    return monitors;
}

// RandR 1.5 knows the monitors; a server with several screens joined by Xinerama reports one RandR monitor
// for all of them, and there Xinerama knows better.
std::vector<PixelRect> screenMonitors() {
    std::vector<PixelRect> monitors = randrMonitors();
    if (monitors.size() < 2) {
        std::vector<PixelRect> heads = xineramaMonitors();
        if (heads.size() > monitors.size()) monitors.swap(heads);
    }
    return monitors;
}

PixelRect windowOnScreen(const SaverWindowState& state) {
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(saverDisplay, state.window, DefaultRootWindow(saverDisplay), 0, 0, &x, &y, &child);
    return PixelRect{x, y, state.width, state.height};
}

}  // namespace

void watchScreenChanges() {
    int errorBase = 0;
    if (!XRRQueryExtension(saverDisplay, &randrEventBase, &errorBase)) {
        randrEventBase = -1;
        return;
    }
    XRRSelectInput(saverDisplay, DefaultRootWindow(saverDisplay), RRScreenChangeNotifyMask);
}

bool isScreenChange(const XEvent& event) {
    if (randrEventBase < 0 || event.type != randrEventBase + RRScreenChangeNotify) return false;
    XRRUpdateConfiguration(const_cast<XEvent*>(&event));  // so that DisplayWidth and the like follow
    return true;
}

// The try-out window is a window to look at the saver in, wherever it is dragged: one picture, always.
void layOutScene(Kaleidoscope& scene) {
    const SaverWindowState& state = saverWindowState;
    scene.resize(state.width, state.height);
    if (state.target == SaverTarget::TryOutWindow) return;
    scene.setViews(layoutMonitors(screenMonitors(), windowOnScreen(state)));
}
