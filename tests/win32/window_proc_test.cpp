// The saver window's procedure on real windows, driven by posted messages: threshold, grace period
// on a driven tick count, swallowed system commands, preview mode, and the password check.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "host/command_line.h"
#include "host/saver_context.h"
#include "host/win32/win32_host.h"
#include "scene/kaleidoscope.h"
#include "tests/win32/test_support.h"

namespace {
DWORD tickNow = 0;
DWORD drivenTick() { return tickNow; }

int passwordChecks = 0;
std::function<BOOL(HWND)> passwordAnswer;
BOOL countingCheck(HWND window) {
    ++passwordChecks;
    return passwordAnswer(window);
}

CursorPoint cursorNow() {
    POINT point{};
    GetCursorPos(&point);
    return {int32_t(point.x), int32_t(point.y)};
}

class WindowProc : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA existing;
        if (!GetClassInfoA(moduleInstance, "OpenGL", &existing)) {
            ASSERT_TRUE(registerSaverClass());
        }
        saverTickSource = drivenTick;
        saverPasswordCheck = countingCheck;
        passwordChecks = 0;
        passwordAnswer = [](HWND) { return TRUE; };
        currentMode = SaverMode::Saver;
        currentContext = &context;
        tickNow = 0x10000;
        open();
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        test::pumpMessages();
        saverTickSource = [] { return GetTickCount(); };
        saverPasswordCheck = verifySaverPassword;
        currentContext = nullptr;
        currentMode = SaverMode::Unset;
    }

    // A fresh, hidden saver window: WM_CREATE records it with the cursor and the driven tick.
    void open() {
        if (IsWindow(window)) DestroyWindow(window);
        test::pumpMessages();
        context = SaverContext();
        window = CreateWindowExA(0, "OpenGL", "SaverWindow", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                 moduleInstance, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(context.window, reinterpret_cast<uintptr_t>(window));
    }

    // Posts one message and handles the queue; true when the window is gone and the loop would end.
    bool deliver(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        PostMessageA(window, message, wParam, lParam);
        const bool quit = test::pumpMessages();
        EXPECT_EQ(quit, !IsWindow(window)) << "WM_QUIT comes exactly with the window's end";
        return quit;
    }

    // Puts the reference point so that the cursor, where it is now, lies dx, dy away from it.
    void cursorOffset(int32_t dx, int32_t dy) {
        const CursorPoint now = cursorNow();
        context.startCursor = {now.x - dx, now.y - dy};
    }

    SaverContext context;
    HWND window = nullptr;
};
}  // namespace

TEST_F(WindowProc, CreationRecordsCursorAndTick) {
    const CursorPoint now = cursorNow();
    EXPECT_EQ(context.startCursor.x, now.x);
    EXPECT_EQ(context.startCursor.y, now.y);
    EXPECT_EQ(context.startTick, 0x10000u);
    EXPECT_EQ(context.closeRequested, 0u);
}

TEST_F(WindowProc, MouseThresholdIsStrictOnEitherAxis) {
    struct Case {
        int32_t threshold, dx, dy;
        bool closes;
    };
    const Case cases[] = {
        {50, 50, 50, false}, {50, -50, -50, false}, {50, 51, 0, true}, {50, 0, -51, true},
        {0, 0, 0, false},    {0, 1, 0, true},       {0, 0, -1, true},  {-1, 0, 0, true},
        {-5, 0, 0, true},
    };
    for (const Case& c : cases) {
        open();
        context.mouseThreshold = c.threshold;
        cursorOffset(c.dx, c.dy);
        EXPECT_EQ(deliver(WM_MOUSEMOVE, 0, MAKELPARAM(1000, 1000)), c.closes)
            << "threshold " << c.threshold << ", offset " << c.dx << "," << c.dy;
        EXPECT_EQ(context.closeRequested, c.closes ? 1u : 0u);
        EXPECT_EQ(passwordChecks, 0);
    }
}

TEST_F(WindowProc, GracePeriodEndsAtExactlyTheDelay) {
    tickNow = 0x10000 + 15 * 1000;
    EXPECT_TRUE(deliver(WM_KEYDOWN, 'X'));
    EXPECT_EQ(passwordChecks, 0);

    tickNow = 0x10000;
    open();
    tickNow = 0x10000 + 15 * 1000 + 1;
    EXPECT_TRUE(deliver(WM_KEYDOWN, 'X'));
    EXPECT_EQ(passwordChecks, 1);

    // The tick counter wrapping past its maximum inside the grace period is harmless.
    tickNow = 0xffffff00;
    open();
    tickNow = 0x100;
    EXPECT_TRUE(deliver(WM_LBUTTONDOWN, MK_LBUTTON));
    EXPECT_EQ(passwordChecks, 1);

    tickNow = 0x10000;
    open();
    context.passwordDelay = 2;
    tickNow = 0x10000 + 2001;
    EXPECT_TRUE(deliver(WM_RBUTTONDOWN, MK_RBUTTON));
    EXPECT_EQ(passwordChecks, 2);
}

TEST_F(WindowProc, ClosingInputAndActivation) {
    // Without a scene every key and button closes.
    const UINT closing[] = {WM_KEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    for (UINT message : closing) {
        open();
        EXPECT_TRUE(deliver(message, message == WM_KEYDOWN ? WPARAM(vk::space) : WPARAM(MK_LBUTTON)));
    }
    const UINT activation[] = {WM_ACTIVATE, WM_ACTIVATEAPP, WM_NCACTIVATE};
    for (UINT message : activation) {
        open();
        EXPECT_FALSE(deliver(message, TRUE)) << "activation " << message;
        EXPECT_TRUE(deliver(message, message == WM_ACTIVATE ? WPARAM(MAKEWPARAM(WA_INACTIVE, 1)) : 0))
            << "deactivation " << message;
    }
}

TEST_F(WindowProc, SystemCommandsAndForeignClosesAreSwallowed) {
    EXPECT_FALSE(deliver(WM_SYSCOMMAND, SC_CLOSE));
    EXPECT_FALSE(deliver(WM_SYSCOMMAND, SC_SCREENSAVE));
    EXPECT_FALSE(deliver(WM_CLOSE));
    // Alt+F4 reaches the procedure as SC_CLOSE through the default handling of the system key.
    EXPECT_FALSE(deliver(WM_SYSKEYDOWN, VK_F4, LPARAM(1) << 29));
    EXPECT_EQ(context.closeRequested, 0u);

    // Once the saver has asked to close, a WM_CLOSE from anywhere carries the close out.
    context.closeRequested = 1;
    EXPECT_TRUE(deliver(WM_CLOSE));
}

TEST_F(WindowProc, CursorHiddenInSaverArrowInPreview) {
    SendMessageA(window, WM_SETCURSOR, WPARAM(window), HTCLIENT);
    EXPECT_EQ(GetCursor(), nullptr);
    // The password check's own WM_SETCURSOR carries hit-test code 0; it hides the cursor too.
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    SendMessageA(window, WM_SETCURSOR, 0, 0);
    EXPECT_EQ(GetCursor(), nullptr);

    currentMode = SaverMode::Preview;
    SendMessageA(window, WM_SETCURSOR, WPARAM(window), HTCLIENT);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(WindowProc, PreviewIgnoresInputAndClosesByDefault) {
    currentMode = SaverMode::Preview;
    open();
    cursorOffset(500, 500);
    EXPECT_FALSE(deliver(WM_MOUSEMOVE));
    EXPECT_FALSE(deliver(WM_KEYDOWN, 'X'));
    EXPECT_FALSE(deliver(WM_LBUTTONDOWN, MK_LBUTTON));
    EXPECT_FALSE(deliver(WM_ACTIVATE, WA_INACTIVE));
    EXPECT_FALSE(deliver(WM_ACTIVATEAPP, 0));
    EXPECT_EQ(context.closeRequested, 0u);
    EXPECT_TRUE(deliver(WM_CLOSE));

    open();
    EXPECT_TRUE(deliver(WM_SYSCOMMAND, SC_CLOSE));
    EXPECT_EQ(passwordChecks, 0);
}

TEST_F(WindowProc, BurstDuringPasswordCheckStartsNoSecondCheck) {
    context.mouseThreshold = 10;
    tickNow = 0x10000 + 60000;
    HCURSOR cursorDuringCheck = reinterpret_cast<HCURSOR>(1);
    // Stands in for the password dialog, whose own loop dispatches what arrives meanwhile.
    passwordAnswer = [&](HWND) {
        cursorDuringCheck = GetCursor();
        EXPECT_EQ(context.checkingPassword, 1u);
        cursorOffset(300, 300);
        for (int i = 0; i < 3; ++i) PostMessageA(window, WM_MOUSEMOVE, 0, 0);
        PostMessageA(window, WM_KEYDOWN, 'X', 0);
        PostMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
        test::pumpMessages();
        EXPECT_TRUE(IsWindow(window));
        return FALSE;
    };

    // Several moves beyond the threshold queue several WM_CLOSE messages; one check runs.
    cursorOffset(100, 0);
    for (int i = 0; i < 3; ++i) PostMessageA(window, WM_MOUSEMOVE, 0, 0);
    EXPECT_FALSE(test::pumpMessages());
    EXPECT_EQ(passwordChecks, 1);
    EXPECT_EQ(cursorDuringCheck, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(GetCursor(), nullptr) << "hidden again after the check";
    EXPECT_EQ(context.checkingPassword, 0u);
    EXPECT_EQ(context.closeRequested, 1u) << "a refused password leaves the close pending";

    // The cursor's place at the end of the check is the new reference point.
    const CursorPoint now = cursorNow();
    EXPECT_EQ(context.startCursor.x, now.x);
    EXPECT_EQ(context.startCursor.y, now.y);
    EXPECT_FALSE(deliver(WM_MOUSEMOVE));
    EXPECT_EQ(passwordChecks, 1);

    // After a refusal any WM_CLOSE at all starts the next check; the grace period is not renewed.
    passwordAnswer = [](HWND) { return TRUE; };
    EXPECT_TRUE(deliver(WM_CLOSE));
    EXPECT_EQ(passwordChecks, 2);
}

TEST_F(WindowProc, PasswordServiceMissingLetsTheSaverClose) {
    // Wine reports the NT platform, where no check is made.
    EXPECT_NE(verifySaverPassword(window), FALSE);
}
