// The host's one record of settings and run-time state; each platform stores the settings its own way
// (host/win32/saver_context.cpp: the registry; host/x11/saver_context.cpp: a small file).
#pragma once

#include <cstdint>

struct CursorPoint {
    int32_t x = 0;
    int32_t y = 0;
};

class SaverContext {
public:
    uintptr_t window = 0;          // the saver window's native handle
    uint32_t passwordDelay = 15;   // seconds of grace after the window appears
    int32_t mouseThreshold = 50;   // pixels on either axis
    uint32_t muteSound = 0;        // read, never used
    CursorPoint startCursor;
    uint32_t startTick = 0;        // milliseconds, when the window was created
    uint32_t timerId = 0;          // no timer is ever started
    uint32_t checkingPassword = 0;
    uint32_t closeRequested = 0;
    uint32_t useMirrors = 1;

    void loadSystemSettings();
    void loadSaverSettings();
    void storeSaverSettings();

    void requestClose();
    void beginPasswordCheck();
    void endPasswordCheck();
};

extern SaverContext* currentContext;

// The two closing rules, in the same arithmetic on every platform.
inline bool cursorBeyondThreshold(CursorPoint start, CursorPoint now, int32_t threshold) {
    const int64_t dx = int64_t(now.x) - start.x, dy = int64_t(now.y) - start.y;
    return (dx < 0 ? -dx : dx) > threshold || (dy < 0 ? -dy : dy) > threshold;
}

// Unsigned 32-bit arithmetic, so the tick counter wrapping past its maximum is harmless.
inline bool withinGracePeriod(uint32_t startTick, uint32_t nowTick, uint32_t passwordDelay) {
    return uint32_t(nowTick - startTick) <= uint32_t(passwordDelay * 1000u);
}
