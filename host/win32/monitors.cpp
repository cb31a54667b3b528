// The monitors under the full-screen saver (pairs with host/x11/monitors.cpp): the virtual screen the
// window covers and one view of the scene per display, in physical pixels (the manifest is PerMonitorV2).
#include <windows.h>

#include <vector>

#include "host/monitor_layout.h"
#include "host/win32/win32_host.h"
#include "scene/kaleidoscope.h"

PixelRect virtualScreen() {
    return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

std::vector<PixelRect> monitorRects() {
    std::vector<PixelRect> monitors;
    EnumDisplayMonitors(nullptr, nullptr, [](HMONITOR, HDC, LPRECT r, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<PixelRect>*>(list)->push_back(
            {int32_t(r->left), int32_t(r->top), int32_t(r->right - r->left), int32_t(r->bottom - r->top)});
        return TRUE;
    }, LPARAM(&monitors));
    return monitors;
}

void layOutSaverWindow(HWND window) {
    const PixelRect screen = virtualScreen();
    SetWindowPos(window, nullptr, screen.x, screen.y, screen.width, screen.height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!currentScene) return;
    currentScene->resize(screen.width, screen.height);
    currentScene->setViews(layoutMonitors(monitorRects(), screen));
}
