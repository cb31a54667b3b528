// The saver window on real windows under Wine: its procedure driven by posted messages on a driven
// tick count (threshold, grace period, swallowed closes, password check), then runSaverWindow for real
// with Wine's OpenGL (preview child, full screen on every monitor, set-up failures), read back as each
// frame is drawn.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

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

BOOL screenSaverRunning() {
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running;
}
}  // namespace

// The procedure applies the shared closing rules (their arithmetic is ClosingRules' own): a move closes once
// beyond the threshold, a press always; the password is checked only after the grace period, here across
// the tick counter's wrap.
TEST_F(SaverWindow, ClosingInputFollowsTheSharedRulesAndDeactivationClosesButForeignClosesDoNot) {
    const struct { int32_t dx, dy; DWORD after; UINT message; bool closes, checked; } cases[] = {
        {50, -50, 0, WM_MOUSEMOVE, false, false},       {0, -51, 0, WM_MOUSEMOVE, true, false},
        {0, 0, 15000, WM_MBUTTONDOWN, true, false},     {0, 0, 15001, WM_KEYDOWN, true, true},
        {0, 0, 15001, WM_RBUTTONDOWN, true, true},
    };
    for (const auto& c : cases) {
        open(0xffffff00);
        context.mouseThreshold = 50;
        context.passwordDelay = 15;
        cursorOffset(c.dx, c.dy);
        tickNow += c.after;
        EXPECT_EQ(deliver(c.message), c.closes) << "case " << &c - cases;
        EXPECT_EQ(passwordChecks, c.checked ? 1 : 0) << "case " << &c - cases;
    }

    // Deactivation closes; system commands and closes from elsewhere do not.
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
    int mirroredFrames = 0;  // mirrored as the setting asks: the first 8 frames, none after
    context.useMirrors = 2;  // any non-zero value asks for the mirrored copies
    onFrame = [&](int frame) {
        mirroredFrames += currentScene->mirrorThisFrame == (frame <= 8);
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
    EXPECT_EQ(mirroredFrames, 16);
}

// The full-screen saver marks itself running while it draws, with the pixel format and class it asks for.
// Every monitor Wine reports gets its own copy (one monitor: one picture over the window). A display change
// re-lays a window left stale, without closing it or restarting the animation, and the cursor's place then
// becomes the reference for the threshold; a click ends it.
TEST_F(SaverWindow, FullScreenSpansEveryMonitorFollowsADisplayChangeAndEndsOnAClick) {
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
    const std::vector<PixelRect> expected =
        monitors.size() < 2 ? std::vector<PixelRect>{{0, 0, screen.width, screen.height}} : monitors;

    RECT placed{}, relaid{};
    std::vector<PixelRect> views, relaidViews;
    float clockBefore = 0, clockAfter = 0;
    BOOL runningDuring = FALSE;
    PIXELFORMATDESCRIPTOR used{};
    onFrame = [&](int frame) {
        if (frame == 1) {
            runningDuring = screenSaverRunning();
            HDC deviceContext = wglGetCurrentDC();
            DescribePixelFormat(deviceContext, GetPixelFormat(deviceContext), sizeof used, &used);
            GetWindowRect(saverWindow, &placed);
            views = currentScene->views;
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
    EXPECT_TRUE(runningDuring);
    EXPECT_FALSE(screenSaverRunning()) << "switched off as the last step";
    const RECT virtualScreen{screen.x, screen.y, screen.x + screen.width, screen.y + screen.height};
    EXPECT_TRUE(EqualRect(&placed, &virtualScreen) && EqualRect(&relaid, &virtualScreen));
    EXPECT_EQ(views, expected);
    EXPECT_EQ(relaidViews, expected);
    EXPECT_GT(clockAfter, clockBefore) << "the animation carries on";

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
        {SaverMode::Preview, HWND(intptr_t(0x7ffe)), nullptr, FALSE},  // names no window: no message either
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
