// runSaverWindow for real under Wine's OpenGL: the preview child inside a host window and the
// full-screen saver, each read back from the back buffer before the frame is presented.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/saver_context.h"
#include "host/win32/win32_host.h"
#include "scene/kaleidoscope.h"
#include "tests/win32/test_support.h"

namespace {
std::function<void(int frame)> onFrame;
int framesDrawn = 0;
void frameDrawn() { onFrame(++framesDrawn); }

// The drawn back buffer: how many pixels are not black, and a checksum to tell frames apart.
struct Picture {
    int lit = 0;
    uint64_t checksum = 0;
};
Picture readBackBuffer(int width, int height) {
    std::vector<unsigned char> pixels(size_t(width) * height * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    Picture picture;
    for (size_t i = 0; i < pixels.size(); i += 4) {
        if (pixels[i] > 8 || pixels[i + 1] > 8 || pixels[i + 2] > 8) ++picture.lit;
        picture.checksum = picture.checksum * 1099511628211ull + pixels[i] + 7 * pixels[i + 1] + 13 * pixels[i + 2];
    }
    return picture;
}

// Keeps the back buffer as a PPM file in the folder QUILLON_SHOT_DIR names, when it names one.
void keepBackBuffer(const char* name, int width, int height) {
    char folder[MAX_PATH];
    if (!GetEnvironmentVariableA("QUILLON_SHOT_DIR", folder, sizeof folder)) return;
    std::vector<unsigned char> pixels(size_t(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    const std::string path = std::string(folder) + "\\" + name + ".ppm";
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fprintf(file, "P6 %d %d 255\n", width, height);
        for (int row = height - 1; row >= 0; --row) std::fwrite(&pixels[size_t(row) * width * 3], 1, size_t(width) * 3, file);
        std::fclose(file);
    }
}

BOOL screenSaverRunning() {
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running;
}

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class SaverWindow : public testing::Test {
protected:
    void SetUp() override {
        // Each run registers the class anew, as a fresh process would.
        UnregisterClassA("OpenGL", moduleInstance);
        test::pumpMessages();
        currentContext = &context;
        framesDrawn = 0;
        saverFrameDrawn = frameDrawn;
        saverTickSource = [] { return DWORD(1000); };
    }
    void TearDown() override {
        saverFrameDrawn = nullptr;
        saverTickSource = [] { return GetTickCount(); };
        currentContext = nullptr;
        currentMode = SaverMode::Unset;
        test::pumpMessages();
    }
    SaverContext context;
};
}  // namespace

TEST_F(SaverWindow, PreviewDrawsInsideTheHostWindowAndEndsWithIt) {
    WNDCLASSA hostClass{};
    hostClass.lpfnWndProc = hostProc;
    hostClass.hInstance = moduleInstance;
    hostClass.lpszClassName = "TestPreviewHost";
    RegisterClassA(&hostClass);
    HWND host = CreateWindowExA(0, "TestPreviewHost", "Preview host", WS_POPUP | WS_VISIBLE, 30, 20, 160, 120,
                                nullptr, nullptr, moduleInstance, nullptr);
    ASSERT_NE(host, nullptr);
    const BOOL runningBefore = screenSaverRunning();

    Picture early, late;
    RECT childRect{};
    HWND childParent = nullptr;
    bool sceneLive = false;
    onFrame = [&](int frame) {
        if (frame == 2) early = readBackBuffer(160, 120);
        if (frame == 8) {
            late = readBackBuffer(160, 120);
            keepBackBuffer("preview-child", 160, 120);
            GetWindowRect(saverWindow, &childRect);
            childParent = GetParent(saverWindow);
            sceneLive = currentScene && currentScene->viewportWidth == 160 && wglGetCurrentContext();
            EXPECT_EQ(screenSaverRunning(), runningBefore);
            // Input in the preview changes nothing; closing the host ends the saver as the system's does.
            PostMessageA(saverWindow, WM_KEYDOWN, 'X', 0);
            PostMessageA(host, WM_CLOSE, 0, 0);
        }
    };
    currentMode = SaverMode::Preview;
    runSaverWindow(host, SW_SHOW);

    EXPECT_EQ(framesDrawn, 8);
    EXPECT_TRUE(sceneLive);
    EXPECT_EQ(childParent, host);
    EXPECT_EQ(childRect.left, 30);
    EXPECT_EQ(childRect.top, 20);
    EXPECT_EQ(childRect.right - childRect.left, 160);
    EXPECT_EQ(childRect.bottom - childRect.top, 120);
    EXPECT_GT(early.lit, 160 * 120 / 20) << "the kaleidoscope is drawn into the child";
    EXPECT_GT(late.lit, 160 * 120 / 20);
    EXPECT_NE(early.checksum, late.checksum) << "and it moves";
    EXPECT_FALSE(IsWindow(host));
    EXPECT_FALSE(IsWindow(saverWindow));
    EXPECT_EQ(context.closeRequested, 0u);
    // Teardown: the scene is gone and no context is current any more.
    EXPECT_EQ(currentScene, nullptr);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(screenSaverRunning(), runningBefore);
    UnregisterClassA("TestPreviewHost", moduleInstance);
}

TEST_F(SaverWindow, FullScreenTakesCommandKeysAndEndsOnAClick) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    RECT windowRect{};
    BOOL runningDuring = FALSE;
    Picture first;
    bool aliveAfterKeys = false;
    onFrame = [&](int frame) {
        if (frame == 2) {
            first = readBackBuffer(width, height);
            GetWindowRect(saverWindow, &windowRect);
            runningDuring = screenSaverRunning();
            for (uint32_t key : {vk::keyM, vk::keyM, vk::keyS, uint32_t('5'), vk::digit0, vk::space, vk::left,
                                 vk::up, vk::right, vk::down})
                PostMessageA(saverWindow, WM_KEYDOWN, key, 0);
        }
        if (frame == 4) {
            aliveAfterKeys = IsWindow(saverWindow) && !context.closeRequested;
            PostMessageA(saverWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        }
    };
    currentMode = SaverMode::Saver;
    runSaverWindow(nullptr, SW_SHOW);

    EXPECT_EQ(windowRect.left, 0);
    EXPECT_EQ(windowRect.top, 0);
    EXPECT_EQ(windowRect.right, width);
    EXPECT_EQ(windowRect.bottom, height);
    EXPECT_GT(first.lit, width * height / 20);
    EXPECT_TRUE(aliveAfterKeys);
    EXPECT_EQ(framesDrawn, 4);
    EXPECT_EQ(context.closeRequested, 1u);
    EXPECT_EQ(currentScene, nullptr);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_FALSE(screenSaverRunning()) << "switched off as the last step";
    EXPECT_TRUE(runningDuring) << "switched on while the saver runs";
}

TEST_F(SaverWindow, PreviewWithoutAHostWindowCreatesNothing) {
    onFrame = [](int) {};
    currentMode = SaverMode::Preview;
    runSaverWindow(nullptr, SW_SHOW);
    UnregisterClassA("OpenGL", moduleInstance);
    runSaverWindow(reinterpret_cast<HWND>(intptr_t(0x7ffe)), SW_SHOW);
    EXPECT_EQ(framesDrawn, 0);
    EXPECT_EQ(currentScene, nullptr);
}
