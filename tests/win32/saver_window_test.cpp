// The saver window on real windows under Wine: its procedure driven by posted messages on a driven
// tick count (threshold, grace period, swallowed closes, password check), then runSaverWindow for real
// with Wine's OpenGL (preview child, full screen), read back from the back buffer before each present.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/saver_context.h"
#include "host/win32/win32_host.h"
#include "scene/kaleidoscope.h"

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
    }
    void TearDown() override {
        DestroyWindow(window);
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

// The back buffer as RGB rows, bottom row first.
std::vector<unsigned char> readBackBuffer(int width, int height) {
    std::vector<unsigned char> pixels(size_t(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Keeps a picture as a PPM file in the folder QUILLON_SHOT_DIR names, when it names one.
void keepPicture(const std::vector<unsigned char>& rgb, const char* name, int width, int height) {
    char folder[MAX_PATH];
    if (!GetEnvironmentVariableA("QUILLON_SHOT_DIR", folder, sizeof folder)) return;
    if (FILE* file = std::fopen((std::string(folder) + "\\" + name + ".ppm").c_str(), "wb")) {
        std::fprintf(file, "P6 %d %d 255\n", width, height);
        for (int row = height - 1; row >= 0; --row) std::fwrite(&rgb[size_t(row) * width * 3], 1, size_t(width) * 3, file);
        std::fclose(file);
    }
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
    EXPECT_EQ(context.closeRequested, 1u) << "a refused password leaves the close pending";

    // The cursor's place at the end of the check is the new reference point.
    EXPECT_FALSE(deliver(WM_MOUSEMOVE));
    EXPECT_EQ(passwordChecks, 1);
    // After a refusal any WM_CLOSE at all starts the next check; the grace period is not renewed.
    passwordAnswer = verifySaverPassword;
    EXPECT_TRUE(deliver(WM_CLOSE));
    EXPECT_EQ(passwordChecks, 2);
}

TEST_F(SaverWindow, PreviewDrawsAMovingPictureSizedToTheHostAndEndsWithIt) {
    HWND host = CreateWindowExA(0, "STATIC", "Preview host", WS_POPUP | WS_VISIBLE, 30, 20, 160, 120,
                                nullptr, nullptr, moduleInstance, nullptr);
    const BOOL runningBefore = screenSaverRunning();
    std::vector<unsigned char> early, late;
    bool sceneSized = false;
    onFrame = [&](int frame) {
        if (frame == 2) early = readBackBuffer(160, 120);
        if (frame != 8) return;
        late = readBackBuffer(160, 120);
        keepPicture(late, "preview-child", 160, 120);
        sceneSized = currentScene && currentScene->viewportWidth == 160 && GetParent(saverWindow) == host;
        EXPECT_EQ(screenSaverRunning(), runningBefore) << "a preview is no running saver";
        SendMessageA(saverWindow, WM_SETCURSOR, WPARAM(saverWindow), HTCLIENT);
        EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW)) << "the preview keeps the arrow";
        // Input in the preview changes nothing; closing the host ends the saver as the system's does.
        context.startCursor = {-1000, -1000};
        for (UINT message : {WM_MOUSEMOVE, WM_KEYDOWN, WM_LBUTTONDOWN, WM_ACTIVATE}) PostMessageA(saverWindow, message, 0, 0);
        PostMessageA(host, WM_CLOSE, 0, 0);
    };
    currentMode = SaverMode::Preview;
    runSaverWindow(host, SW_SHOW);

    EXPECT_EQ(framesDrawn, 8);
    EXPECT_TRUE(sceneSized);
    // The kaleidoscope is drawn into the child (a twentieth of the channel values not black), and it moves.
    for (const auto* picture : {&early, &late})
        EXPECT_GT(std::count_if(picture->begin(), picture->end(), [](unsigned char c) { return c > 8; }), 160 * 120 * 3 / 20);
    EXPECT_NE(early, late);
    EXPECT_FALSE(IsWindow(saverWindow));
}

TEST_F(SaverWindow, FullScreenMarksTheSaverRunningUntilAClickEndsIt) {
    BOOL runningDuring = FALSE;
    onFrame = [&](int) {
        runningDuring = screenSaverRunning();
        PostMessageA(saverWindow, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    };
    currentMode = SaverMode::Saver;
    runSaverWindow(nullptr, SW_SHOW);
    EXPECT_EQ(framesDrawn, 1);
    EXPECT_TRUE(runningDuring);
    EXPECT_FALSE(screenSaverRunning()) << "switched off as the last step";
}

TEST_F(SaverWindow, PreviewWithoutAValidHostWindowCreatesNothing) {
    onFrame = [](int) {};
    currentMode = SaverMode::Preview;
    runSaverWindow(nullptr, SW_SHOW);
    UnregisterClassA("OpenGL", moduleInstance);
    runSaverWindow(reinterpret_cast<HWND>(intptr_t(0x7ffe)), SW_SHOW);
    EXPECT_EQ(framesDrawn, 0);
}
