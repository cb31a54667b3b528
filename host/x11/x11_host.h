// The X11 host's process-wide state and operations; pairs with host/win32/win32_host.h.
#pragma once

#include <X11/Xlib.h>

#include "host/saver_context.h"

#include <csignal>
#include <cstdint>


// Where the saver draws and which input rules apply.
enum class SaverTarget {
    FullScreen,    // /s: our own override-redirect window over the whole screen; input closes it
    TryOutWindow,  // --window: our own ordinary window; Escape, q or the window manager closes it
    Foreign,       // /p, /l, --root, --window-id: a window someone else owns; only a signal or its end stops us
};

// The one connection to the X server, open for the life of the process (the analogue of the module instance).
extern Display* saverDisplay;

// Set by SIGTERM and SIGINT; the loops leave at the next turn and tear down normally.
extern volatile std::sig_atomic_t stopSignalled;

// Milliseconds of a monotonic clock, wrapping like the system tick count.
uint32_t tickCount();

// What the command line asks of a run beyond the target: the frame-rate readout and the glow.
struct RunOptions {
    bool showFrameRate = false;
    bool glow = true;
};

// Frame loop for the visible modes; returns when the window is gone or a signal came.
void runSaverWindow(SaverTarget target, Window foreignWindow, const RunOptions& options);

// The --fps readout: frames per second and, below, the milliseconds a frame took to draw, in the lower left
// corner. Drawn after the frame and before the swap with a core X font; the GL state is left as it was found.
class FrameRateReadout {
public:
    FrameRateReadout();  // needs the GL context current; without the font it draws nothing
    ~FrameRateReadout();
    FrameRateReadout(const FrameRateReadout&) = delete;
    FrameRateReadout& operator=(const FrameRateReadout&) = delete;

    void frameStarts();  // before the scene draws
    void frameEnds();    // after the swap: the pacing sleep is not part of a frame's time
    void draw(int width, int height) const;

private:
    void drawText(const char* text) const;

    XFontStruct* font = nullptr;
    unsigned listBase = 0;
    uint64_t started = 0, sampleStart = 0, busy = 0;  // microseconds
    int frames = 0;
    char lines[2][32] = {"FPS: --", ""};
};

// Event handling for the saver window: input, closing and the cursor (window_proc.cpp).
struct SaverWindowState {
    SaverTarget target = SaverTarget::FullScreen;
    Window window = 0;            // the window drawn into
    Atom protocolsAtom = 0;       // WM_PROTOCOLS
    Atom deleteWindowAtom = 0;    // WM_DELETE_WINDOW, also our own close request
    Cursor hiddenCursor = 0;
    Cursor arrowCursor = 0;
    bool quit = false;            // the window is closed: leave the loop
    bool sizeChanged = false;     // a new size or monitor layout: lay the scene out again before the next frame
    int width = 0;
    int height = 0;
};
extern SaverWindowState saverWindowState;

void saverWindowProc(const XEvent& event);
void updateSaverCursor();
CursorPoint queryCursor();
uint32_t virtualKeyFor(XKeyEvent key);

// Monitors (monitors.cpp): RandR screen changes are watched on the root window; a screen change updates
// Xlib's idea of the screen; the scene gets the window's size and one view per monitor the window covers.
class Kaleidoscope;
void watchScreenChanges();
bool isScreenChange(const XEvent& event);
void layOutScene(Kaleidoscope& scene);

// The Xlib configuration dialog; returns when it is closed.
void runConfigDialog(Window owner);
