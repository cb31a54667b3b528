// The saver window and frame loop: a GLX context on our own window or on one we were given, the scene
// built at the window's size (and resized with it), and teardown in reverse order.
#include "host/saver_context.h"
#include "host/x11/x11_host.h"
#include "scene/kaleidoscope.h"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <cstdio>
#include <ctime>
#include <new>

namespace {

constexpr int tryOutWidth = 640, tryOutHeight = 480;
constexpr long ownEventMask =
    KeyPressMask | ButtonPressMask | PointerMotionMask | FocusChangeMask | StructureNotifyMask | ExposureMask;

struct Surface {
    XVisualInfo* visual = nullptr;
    Colormap colormap = 0;
    GLXContext context = nullptr;
    bool ownWindow = false;
};

XVisualInfo* chooseOwnVisual() {
    int attributes[] = {GLX_RGBA,       GLX_DOUBLEBUFFER, GLX_RED_SIZE,   1, GLX_GREEN_SIZE, 1,
                        GLX_BLUE_SIZE,  1,                GLX_DEPTH_SIZE, 1, None};
    return glXChooseVisual(saverDisplay, DefaultScreen(saverDisplay), attributes);
}

// The visual the given window was made with: GLX can only draw into a window on its own visual.
XVisualInfo* visualOfWindow(const XWindowAttributes& attributes) {
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(saverDisplay, VisualIDMask, &wanted, &count);
    int usesGl = 0;
    if (found && (glXGetConfig(saverDisplay, found, GLX_USE_GL, &usesGl) != 0 || !usesGl)) {
        XFree(found);
        return nullptr;
    }
    return found;
}

Cursor makeHiddenCursor(Window window) {
    static const char noBits[1] = {0};
    const Pixmap empty = XCreateBitmapFromData(saverDisplay, window, noBits, 1, 1);
    XColor black{};
    const Cursor cursor = XCreatePixmapCursor(saverDisplay, empty, empty, &black, &black, 0, 0);
    XFreePixmap(saverDisplay, empty);
    return cursor;
}

// The full-screen window keeps the Windows saver's title; the try-out window shows the saver's name.
void nameWindow(Window window, SaverTarget target) {
    XStoreName(saverDisplay, window, target == SaverTarget::FullScreen ? "SaverWindow" : "Quillon");
    XClassHint hint{const_cast<char*>("quillon"), const_cast<char*>("Quillon")};
    XSetClassHint(saverDisplay, window, &hint);
    XSetWMProtocols(saverDisplay, window, &saverWindowState.deleteWindowAtom, 1);
}

Window createOwnWindow(SaverTarget target, Surface& surface) {
    const int screen = DefaultScreen(saverDisplay);
    const Window root = RootWindow(saverDisplay, screen);
    const bool fullScreen = target == SaverTarget::FullScreen;
    const int width = fullScreen ? DisplayWidth(saverDisplay, screen) : tryOutWidth;
    const int height = fullScreen ? DisplayHeight(saverDisplay, screen) : tryOutHeight;

    surface.colormap = XCreateColormap(saverDisplay, root, surface.visual->visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = surface.colormap;
    attributes.background_pixel = BlackPixel(saverDisplay, screen);
    attributes.border_pixel = 0;
    attributes.event_mask = ownEventMask;
    attributes.override_redirect = fullScreen ? True : False;
    const Window window = XCreateWindow(saverDisplay, root, 0, 0, unsigned(width), unsigned(height), 0,
                                        surface.visual->depth, InputOutput, surface.visual->visual,
                                        CWColormap | CWBackPixel | CWBorderPixel | CWEventMask | CWOverrideRedirect,
                                        &attributes);
    if (!window) return 0;
    nameWindow(window, target);
    saverWindowState.width = width;
    saverWindowState.height = height;
    return window;
}

// What creating the window records: the window, the cursor's place and the start tick.
void recordCreation(Window window) {
    currentContext->window = uintptr_t(window);
    currentContext->startCursor = queryCursor();
    currentContext->startTick = tickCount();
}

// Shows the full-screen window on top and takes the keyboard and pointer, so every key, click and
// movement reaches it. A grab another client holds is waited for briefly, then done without.
void showFullScreen(Window window) {
    XMapRaised(saverDisplay, window);
    XEvent event;
    do XWindowEvent(saverDisplay, window, StructureNotifyMask, &event);
    while (event.type != MapNotify);
    XSetInputFocus(saverDisplay, window, RevertToParent, CurrentTime);
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (XGrabKeyboard(saverDisplay, window, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess)
            break;
        const timespec pause{0, 50 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    XGrabPointer(saverDisplay, window, True, ButtonPressMask | PointerMotionMask, GrabModeAsync, GrabModeAsync,
                 None, saverWindowState.hiddenCursor, CurrentTime);
}

// Sleeps once; a signal cuts it short so that SIGTERM ends the saver without delay.
void sleepMilliseconds(int32_t ms) {
    if (ms <= 0) return;
    const timespec pause{ms / 1000, long(ms % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

void takeWaitingEvents() {
    while (!saverWindowState.quit && !stopSignalled && XPending(saverDisplay)) {
        XEvent event;
        XNextEvent(saverDisplay, &event);
        saverWindowProc(event);
    }
}

void frameLoop(FrameRateReadout* readout) {
    SaverWindowState& state = saverWindowState;
    for (;;) {
        takeWaitingEvents();
        if (state.quit || stopSignalled) break;
        if (state.sizeChanged) {
            state.sizeChanged = false;
            if (currentScene) layOutScene(*currentScene);
        }
        if (readout) readout->frameStarts();
        const uint32_t options = currentContext->useMirrors != 0 ? frameOptionMirrors : 0;
        if (currentScene && currentScene->drawFrame(options)) {
            if (readout) readout->draw(state.width, state.height);
            glXSwapBuffers(saverDisplay, state.window);
        }
        if (readout) readout->frameEnds();
        sleepMilliseconds(currentScene ? currentScene->sleepMs : 100);
    }
}

void releaseSurface(Window window, Surface& surface) {
    if (surface.context) {
        glXMakeCurrent(saverDisplay, None, nullptr);
        glXDestroyContext(saverDisplay, surface.context);
    }
    if (surface.ownWindow) {
        XUngrabPointer(saverDisplay, CurrentTime);
        XUngrabKeyboard(saverDisplay, CurrentTime);
        XDestroyWindow(saverDisplay, window);
    }
    if (surface.colormap) XFreeColormap(saverDisplay, surface.colormap);
    if (surface.visual) XFree(surface.visual);
    if (saverWindowState.hiddenCursor) XFreeCursor(saverDisplay, saverWindowState.hiddenCursor);
    if (saverWindowState.arrowCursor) XFreeCursor(saverDisplay, saverWindowState.arrowCursor);
    XSync(saverDisplay, False);
}

}  // namespace

void runSaverWindow(SaverTarget target, Window foreignWindow, const RunOptions& options) {
    SaverWindowState& state = saverWindowState;
    state.target = target;
    state.protocolsAtom = XInternAtom(saverDisplay, "WM_PROTOCOLS", False);
    state.deleteWindowAtom = XInternAtom(saverDisplay, "WM_DELETE_WINDOW", False);

    Surface surface;
    Window window = 0;
    if (target == SaverTarget::Foreign) {
        XWindowAttributes attributes;
        if (!foreignWindow || !XGetWindowAttributes(saverDisplay, foreignWindow, &attributes)) {
            std::fprintf(stderr, "quillon: no window 0x%lx to draw in\n", static_cast<unsigned long>(foreignWindow));
            return;
        }
        window = foreignWindow;
        XSelectInput(saverDisplay, window, StructureNotifyMask);  // its size and its end; input is not ours
        state.width = attributes.width;
        state.height = attributes.height;
        surface.visual = visualOfWindow(attributes);
        if (!surface.visual) {
            std::fprintf(stderr, "glXGetConfig() failed:  The window's visual offers no OpenGL.\n");
            return;
        }
    } else {
        surface.visual = chooseOwnVisual();
        if (!surface.visual) {
            std::fprintf(stderr, "glXChooseVisual() failed:  Cannot find a suitable visual.\n");
            return;
        }
        window = createOwnWindow(target, surface);
        if (!window) {
            releaseSurface(0, surface);
            return;
        }
        surface.ownWindow = true;
    }
    state.window = window;
    recordCreation(window);

    if (target == SaverTarget::FullScreen) {
        state.hiddenCursor = makeHiddenCursor(window);
        state.arrowCursor = XCreateFontCursor(saverDisplay, XC_left_ptr);
        updateSaverCursor();
        showFullScreen(window);
    } else if (target == SaverTarget::TryOutWindow) {
        XMapWindow(saverDisplay, window);
    }

    surface.context = glXCreateContext(saverDisplay, surface.visual, nullptr, True);
    if (!surface.context || !glXMakeCurrent(saverDisplay, window, surface.context)) {
        std::fprintf(stderr, "glXCreateContext() failed:  Cannot create an OpenGL context.\n");
        releaseSurface(window, surface);
        return;
    }

    currentScene = new (std::nothrow) Kaleidoscope(state.width, state.height);
    if (currentScene && !options.glow) currentScene->glowOff = true;  // as the S key does; S turns it back on
    watchScreenChanges();
    if (currentScene) layOutScene(*currentScene);
    FrameRateReadout* readout = options.showFrameRate ? new (std::nothrow) FrameRateReadout : nullptr;
    frameLoop(readout);

    delete readout;
    delete currentScene;  // while the context is still current: the scene deletes its textures
    currentScene = nullptr;
    releaseSurface(window, surface);
}
