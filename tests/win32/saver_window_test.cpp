// The saver window on real windows under Wine: its procedure driven by posted messages on a driven
// tick count (threshold, grace period, swallowed closes, password check), then runSaverWindow for real
// with Wine's OpenGL (preview child, full screen, set-up failures), read back from the back buffer
// before each present.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/saver_context.h"
#include "host/win32/win32_host.h"
#include "scene/kaleidoscope.h"
#include "tests/win32/watch.h"

// The host and the resource lookups use this program's own module, as the saver uses its own.
[[maybe_unused]] const bool moduleSet = (moduleInstance = GetModuleHandleA(nullptr)) != nullptr;

namespace {
DWORD tickNow = 0;
int passwordChecks = 0;
std::function<BOOL(HWND)> passwordAnswer;
std::function<void(int frame)> onFrame;
int framesDrawn = 0;

// Handles every waiting message of this thread; true when WM_QUIT was among them.
bool pumpMessages() {
    bool quit = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        quit |= message.message == WM_QUIT;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return quit;
}

class SaverWindow : public testing::Test {
protected:
    void SetUp() override {
        // runSaverWindow registers the class itself, as in a fresh process.
        UnregisterClassA("OpenGL", moduleInstance);
        tickNow = 0x10000;
        saverTickSource = [] { return tickNow; };
        saverPasswordCheck = [](HWND window) {
            ++passwordChecks;
            return passwordAnswer(window);
        };
        // The real check: Wine reports the NT platform, where no check is made and the close goes ahead.
        passwordAnswer = verifySaverPassword;
        framesDrawn = 0;
        saverFrameDrawn = [] { onFrame(++framesDrawn); };
        currentMode = SaverMode::Saver;
        currentContext = &context;
        saverWindow = nullptr;
    }
    void TearDown() override {
        DestroyWindow(window);
        DestroyWindow(saverWindow);  // a failed pixel format leaves it
        pumpMessages();
        // Whatever ran, the scene is gone and no OpenGL context is left current.
        EXPECT_EQ(currentScene, nullptr);
        EXPECT_EQ(wglGetCurrentContext(), nullptr);
        saverTickSource = [] { return GetTickCount(); };
        saverPasswordCheck = verifySaverPassword;
        saverFrameDrawn = nullptr;
        currentContext = nullptr;
        currentMode = SaverMode::Unset;
    }

    // A fresh, hidden saver window; WM_CREATE records the cursor and the tick `created`.
    void open(DWORD created = 0x10000) {
        DestroyWindow(window);
        pumpMessages();
        registerSaverClass();  // fails harmlessly once registered
        context = SaverContext();
        passwordChecks = 0;
        tickNow = created;
        window = CreateWindowExA(0, "OpenGL", "SaverWindow", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                 moduleInstance, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(context.window, reinterpret_cast<uintptr_t>(window));
    }

    // Posts one message and handles the queue; true when the window is gone and the loop would end.
    bool deliver(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        PostMessageA(window, message, wParam, lParam);
        const bool quit = pumpMessages();
        EXPECT_EQ(quit, !IsWindow(window)) << "WM_QUIT comes exactly with the window's end";
        return quit;
    }

    // Puts the reference point so that the cursor, where it is now, lies dx, dy away from it.
    void cursorOffset(int32_t dx, int32_t dy) {
        POINT now{};
        GetCursorPos(&now);
        context.startCursor = {now.x - dx, now.y - dy};
    }

    SaverContext context;
    HWND window = nullptr;
};

// Mean difference per channel, in `view` of the back buffer (window pixels, y down, in a window
// `windowHeight` high), between the pixels mirrored across the ray pointing straight down from the view's
// centre, within three degrees of it. With mirrors on that ray is always a mirror
// line (wedge slot 0 starts there, the narrowest wedge is 360/94 degrees), so it is 0. Checked with the
// OSMesa renderer for all 256 seeds at 160 x 120, mirrors on for frames 1 to 8 and off for 9 to 16, 42 or
// 80 ms apart: mirrored frames stay below 0.04, and the most unmirrored one exceeds 1.8.
double downwardAsymmetry(const PixelRect& view, int windowHeight) {
    const int width = view.width, height = view.height;
    const size_t row = (size_t(width) * 3 + 3) / 4 * 4;  // rows bottom first, 4-byte aligned
    std::vector<unsigned char> rgb(row * height);
    glReadPixels(view.x, windowHeight - view.y - height, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    const double slope = std::tan(3.0 * 3.14159265358979 / 180.0);
    double total = 0;
    int samples = 0;
    for (int y = 0; y < height / 2; ++y)  // the rows below the centre
        for (int k = 0; k + 0.5 <= slope * (height / 2 - y - 0.5); ++k)
            for (int channel = 0; channel < 3; ++channel, ++samples)
                total += std::abs(rgb[y * row + size_t(width / 2 + k) * 3 + channel] -
                                  rgb[y * row + size_t(width / 2 - 1 - k) * 3 + channel]);
    return total / samples;
}

BOOL screenSaverRunning() {
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running;
}
}  // namespace

TEST_F(SaverWindow, MouseThresholdIsStrictOnEitherAxis) {
    const struct { int32_t threshold, dx, dy; bool closes; } cases[] = {
        {50, 50, 50, false}, {50, -50, -50, false}, {50, 51, 0, true}, {50, 0, -51, true},
        {0, 0, 0, false},    {0, 0, -1, true},      {-1, 0, 0, true},
    };
    for (const auto& c : cases) {
        open();
        context.mouseThreshold = c.threshold;
        cursorOffset(c.dx, c.dy);
        EXPECT_EQ(deliver(WM_MOUSEMOVE), c.closes) << "threshold " << c.threshold << ", offset " << c.dx << "," << c.dy;
    }
}

TEST_F(SaverWindow, GracePeriodEndsAtExactlyTheDelayAcrossTheTickWrap) {
    const struct { DWORD created, now; uint32_t delay; UINT message; bool checked; } cases[] = {
        {0x10000, 0x10000 + 15000, 15, WM_MBUTTONDOWN, false}, {0x10000, 0x10000 + 15001, 15, WM_KEYDOWN, true},
        {0xffffff00, 0x100, 15, WM_LBUTTONDOWN, false},        {0x10000, 0x10000 + 2001, 2, WM_RBUTTONDOWN, true},
    };
    for (const auto& c : cases) {
        open(c.created);
        context.passwordDelay = c.delay;
        tickNow = c.now;
        EXPECT_TRUE(deliver(c.message)) << "created " << c.created << ", now " << c.now;
        EXPECT_EQ(passwordChecks, c.checked ? 1 : 0) << "created " << c.created << ", now " << c.now;
    }
}

TEST_F(SaverWindow, DeactivationClosesSystemCommandsAndForeignClosesDoNot) {
    for (UINT message : {WM_ACTIVATE, WM_ACTIVATEAPP, WM_NCACTIVATE}) {
        open();
        // Shown and active first: WM_ACTIVATE's default handling would focus a hidden window, which
        // Wine then deactivates at once.
        if (message == WM_ACTIVATE) ShowWindow(window, SW_SHOW);
        EXPECT_FALSE(deliver(message, TRUE)) << "activation " << message;
        EXPECT_TRUE(deliver(message, message == WM_ACTIVATE ? WPARAM(WA_INACTIVE) : 0)) << "deactivation " << message;
    }
    open();
    EXPECT_FALSE(deliver(WM_SYSCOMMAND, SC_CLOSE));
    EXPECT_FALSE(deliver(WM_SYSCOMMAND, SC_SCREENSAVE));
    EXPECT_FALSE(deliver(WM_CLOSE));
    // Alt+F4 reaches the procedure as SC_CLOSE through the default handling of the system key.
    EXPECT_FALSE(deliver(WM_SYSKEYDOWN, VK_F4, LPARAM(1) << 29));
    // Once the saver has asked to close, a WM_CLOSE from anywhere carries the close out.
    context.closeRequested = 1;
    EXPECT_TRUE(deliver(WM_CLOSE));
}

TEST_F(SaverWindow, BurstDuringPasswordCheckStartsNoSecondCheckAndHidesTheCursorAfter) {
    open();
    context.mouseThreshold = 10;
    tickNow = 0x10000 + 60000;
    HCURSOR cursorDuringCheck = nullptr;
    // Stands in for the password dialog, whose own loop dispatches what arrives meanwhile.
    passwordAnswer = [&](HWND) {
        cursorDuringCheck = GetCursor();
        cursorOffset(300, 300);
        for (UINT message : {WM_MOUSEMOVE, WM_KEYDOWN, WM_ACTIVATE, WM_CLOSE}) PostMessageA(window, message, 0, 0);
        pumpMessages();
        return FALSE;
    };
    // Several moves beyond the threshold queue several WM_CLOSE messages; one check runs.
    cursorOffset(100, 0);
    for (int i = 0; i < 3; ++i) PostMessageA(window, WM_MOUSEMOVE, 0, 0);
    EXPECT_FALSE(pumpMessages());
    EXPECT_EQ(passwordChecks, 1);
    EXPECT_EQ(cursorDuringCheck, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(GetCursor(), nullptr) << "hidden again after the check";

    // The cursor's place at the end of the check is the new reference point.
    EXPECT_FALSE(deliver(WM_MOUSEMOVE));
    EXPECT_EQ(passwordChecks, 1);
    // After a refusal any WM_CLOSE at all starts the next check; the grace period is not renewed.
    passwordAnswer = verifySaverPassword;
    EXPECT_TRUE(deliver(WM_CLOSE));
    EXPECT_EQ(passwordChecks, 2);
}

TEST_F(SaverWindow, PreviewFillsTheHostsWindowIgnoresInputMirrorsAsSetAndEndsWithTheHost) {
    // A framed host: the child takes its whole window rectangle, which is larger than its client area.
    HWND host = CreateWindowExA(0, "STATIC", "Preview host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30, 20, 160, 120,
                                nullptr, nullptr, moduleInstance, nullptr);
    RECT client{}, child{};
    GetClientRect(host, &client);
    ASSERT_LT(client.right, 160);
    POINT origin{};
    ClientToScreen(host, &origin);
    const RECT expected{origin.x, origin.y, origin.x + 160, origin.y + 120};
    const BOOL runningBefore = screenSaverRunning();
    double mirroredMost = 0, unmirroredMost = 0;
    context.useMirrors = 2;  // any non-zero value asks for the mirrored copies
    onFrame = [&](int frame) {
        double& most = frame <= 8 ? mirroredMost : unmirroredMost;
        most = std::max(most, downwardAsymmetry({0, 0, 160, 120}, 120));
        if (frame == 16) PostMessageA(host, WM_CLOSE, 0, 0);  // the host goes, as the system's does
        if (frame != 8) return;
        context.useMirrors = 0;
        GetWindowRect(saverWindow, &child);
        EXPECT_TRUE(currentScene && currentScene->viewportWidth == 160 && currentScene->viewportHeight == 120);
        EXPECT_EQ(screenSaverRunning(), runningBefore) << "a preview is no running saver";
        SendMessageA(saverWindow, WM_SETCURSOR, WPARAM(saverWindow), HTCLIENT);
        EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW)) << "the preview keeps the arrow";
        // Closing input for the full-screen saver; handled before the next frame, it must not end this one.
        context.startCursor = {-1000, -1000};
        for (UINT message : {WM_MOUSEMOVE, WM_KEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_ACTIVATE,
                             WM_ACTIVATEAPP, WM_NCACTIVATE})
            PostMessageA(saverWindow, message, message == WM_KEYDOWN ? 'X' : 0, 0);
    };
    currentMode = SaverMode::Preview;
    runSaverWindow(host, SW_SHOW);

    EXPECT_EQ(framesDrawn, 16);
    EXPECT_FALSE(IsWindow(saverWindow));
    EXPECT_TRUE(EqualRect(&child, &expected));
    EXPECT_LT(mirroredMost, 0.5);
    EXPECT_GT(unmirroredMost, 1.0);
}

TEST_F(SaverWindow, FullScreenMarksTheSaverRunningUntilAClickEndsIt) {
    BOOL runningDuring = FALSE;
    PIXELFORMATDESCRIPTOR used{};
    onFrame = [&](int) {
        runningDuring = screenSaverRunning();
        HDC deviceContext = wglGetCurrentDC();
        DescribePixelFormat(deviceContext, GetPixelFormat(deviceContext), sizeof used, &used);
        PostMessageA(saverWindow, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    };
    runSaverWindow(nullptr, SW_SHOW);
    EXPECT_EQ(framesDrawn, 1);
    EXPECT_TRUE(runningDuring);
    EXPECT_FALSE(screenSaverRunning()) << "switched off as the last step";

    // The format in use draws to a window with OpenGL, double-buffered. The request: size 40, version 1,
    // those three flags (0x25), RGBA, 32 colour bits, and every other byte 0.
    EXPECT_EQ(used.dwFlags & 0x25, DWORD(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER));
    const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
    const unsigned char asked[40] = {40, 0, 1, 0, 0x25, 0, 0, 0, PFD_TYPE_RGBA, 32};
    EXPECT_EQ(std::memcmp(&request, asked, sizeof asked), 0);
    // The class as registered: CS_VREDRAW | CS_HREDRAW | CS_OWNDC, the saver's procedure, nothing else.
    WNDCLASSA registered{};
    ASSERT_TRUE(GetClassInfoA(moduleInstance, "OpenGL", &registered));
    EXPECT_EQ(registered.style, 0x23u);
    EXPECT_EQ(registered.lpfnWndProc, saverWindowProc);
    EXPECT_TRUE(!registered.cbClsExtra && !registered.cbWndExtra && !registered.hIcon && !registered.hCursor &&
                !registered.hbrBackground && !registered.lpszMenuName);
}

// Every monitor Wine reports gets its own copy, mirrored about that monitor's centre (one monitor: one picture
// over the window). A display change re-lays a window left stale, without closing it or restarting the
// animation, and the cursor's place then becomes the reference for the threshold.
TEST_F(SaverWindow, FullScreenSpansEveryMonitorAndFollowsADisplayChange) {
    const PixelRect screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                           GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    std::vector<PixelRect> monitors;  // in window pixels
    EnumDisplayMonitors(nullptr, nullptr, [](HMONITOR monitor, HDC, LPRECT, LPARAM list) -> BOOL {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        GetMonitorInfoA(monitor, &info);
        const RECT& r = info.rcMonitor;
        reinterpret_cast<std::vector<PixelRect>*>(list)->push_back(
            {r.left - GetSystemMetrics(SM_XVIRTUALSCREEN), r.top - GetSystemMetrics(SM_YVIRTUALSCREEN),
             r.right - r.left, r.bottom - r.top});
        return TRUE;
    }, LPARAM(&monitors));
    std::printf("monitors (window pixels):");
    for (const PixelRect& m : monitors) std::printf(" %dx%d+%d+%d", m.width, m.height, m.x, m.y);
    std::printf("\n");
    const std::vector<PixelRect> expected =
        monitors.size() < 2 ? std::vector<PixelRect>{{0, 0, screen.width, screen.height}} : monitors;

    RECT placed{}, relaid{};
    std::vector<PixelRect> views, relaidViews;
    double mostAsymmetric = 0;
    float clockBefore = 0, clockAfter = 0;
    onFrame = [&](int frame) {
        if (frame == 1) {
            GetWindowRect(saverWindow, &placed);
            views = currentScene->views;
            for (const PixelRect& view : views)
                mostAsymmetric = std::max(mostAsymmetric, downwardAsymmetry(view, screen.height));
            // Leave the window and the scene stale, and the reference point far off; then the change.
            SetWindowPos(saverWindow, nullptr, 10, 10, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);
            currentScene->resize(200, 100);
            currentScene->setViews({});
            context.startCursor = {-100000, -100000};
            clockBefore = currentScene->clockSeconds;
            PostMessageA(saverWindow, WM_DISPLAYCHANGE, 32, MAKELPARAM(screen.width, screen.height));
            PostMessageA(saverWindow, WM_MOUSEMOVE, 0, 0);
        } else {
            GetWindowRect(saverWindow, &relaid);
            relaidViews = currentScene->views;
            clockAfter = currentScene->clockSeconds;
            EXPECT_TRUE(currentScene->viewportWidth == screen.width && currentScene->viewportHeight == screen.height);
            PostMessageA(saverWindow, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        }
    };
    runSaverWindow(nullptr, SW_SHOW);

    EXPECT_EQ(framesDrawn, 2) << "the display change and the move after it close nothing";
    const RECT virtualScreen{screen.x, screen.y, screen.x + screen.width, screen.y + screen.height};
    EXPECT_TRUE(EqualRect(&placed, &virtualScreen) && EqualRect(&relaid, &virtualScreen));
    EXPECT_EQ(views, expected);
    EXPECT_EQ(relaidViews, expected);
    EXPECT_LT(mostAsymmetric, 0.5);
    EXPECT_GT(clockAfter, clockBefore) << "the animation carries on";
}

namespace {
// On the saver window's WM_CREATE, sets a pixel format other than the one it will choose, so that its own
// SetPixelFormat fails as on any window whose format is already set.
LRESULT CALLBACK setForeignFormat(int code, WPARAM wParam, LPARAM lParam) {
    const auto& call = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    char className[16] = {};
    GetClassNameA(call.hwnd, className, sizeof className);
    if (call.message == WM_CREATE && std::string(className) == "OpenGL") {
        HDC deviceContext = GetDC(call.hwnd);
        const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
        SetPixelFormat(deviceContext, ChoosePixelFormat(deviceContext, &request) == 1 ? 2 : 1, nullptr);
        ReleaseDC(call.hwnd, deviceContext);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

// Each failure forced for real: no host window, the class already registered, or a pixel format already
// set on the window (by setForeignFormat). A message box is read from a watcher thread meanwhile.
TEST_F(SaverWindow, SetUpFailuresShowTheirErrorAndUndoWhatWasSetUp) {
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr, nullptr,
                                moduleInstance, nullptr);
    const char* const classTaken = "RegisterClass() failed:  Cannot register window class.|1";
    const char* const formatTaken = "SetPixelFormat() failed:  Cannot set format specified.|1";
    const struct { SaverMode mode; HWND parent; const char* box; BOOL runningWhileShown; } cases[] = {
        {SaverMode::Preview, nullptr, nullptr, FALSE},  // no window, and no message either
        {SaverMode::Preview, HWND(intptr_t(0x7ffe)), nullptr, FALSE},  // a number that names no window
        {SaverMode::Saver, host, classTaken, FALSE},
        {SaverMode::Saver, host, formatTaken, TRUE},  // on by the time the device context's format is set
        {SaverMode::Preview, host, formatTaken, FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box ? c.box : "no host");
        DestroyWindow(saverWindow);
        pumpMessages();
        saverWindow = nullptr;
        UnregisterClassA("OpenGL", moduleInstance);
        if (c.box == classTaken) registerSaverClass();
        HHOOK hook = c.box == formatTaken
                         ? SetWindowsHookExA(WH_CALLWNDPROCRET, setForeignFormat, nullptr, GetCurrentThreadId())
                         : nullptr;
        BOOL runningWhileShown = FALSE;
        auto box = std::async(c.box ? std::launch::async : std::launch::deferred, [&] {
            HWND shown = awaitDialog(GetCurrentProcessId(), "Error");
            runningWhileShown = screenSaverRunning();
            return answerBox(shown);
        });
        currentMode = c.mode;
        runSaverWindow(c.parent, SW_SHOW);
        if (hook) UnhookWindowsHookEx(hook);
        if (c.box) {
            EXPECT_EQ(box.get(), c.box);
        }
        EXPECT_EQ(runningWhileShown, c.runningWhileShown);
        EXPECT_FALSE(screenSaverRunning());
        EXPECT_EQ(framesDrawn, 0);
        EXPECT_EQ(saverWindow != nullptr, c.box == formatTaken) << "a window only with a host and the class";
        // A preview's window stays after a pixel-format failure (the full-screen one closes itself when the
        // box's activation deactivates it).
        if (c.mode == SaverMode::Preview) {
            EXPECT_EQ(IsWindow(saverWindow) != FALSE, c.box == formatTaken);
        }
    }
    DestroyWindow(host);
}
