// The saver window (a full-screen popup or a preview child), its OpenGL context and the frame loop.
#include <windows.h>

#include <memory>
#include <new>

#include "host/command_line.h"
#include "host/saver_context.h"
#include "host/win32/win32_host.h"
#include "scene/kaleidoscope.h"

HINSTANCE moduleInstance = nullptr;
HWND saverWindow = nullptr;
void (*saverFrameDrawn)() = nullptr;

namespace {
void showError(const char* text) { MessageBoxA(nullptr, text, "Error", MB_OK); }

// False (after telling the user) when no format fits or it cannot be set.
bool setPixelFormat(HDC deviceContext) {
    const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
    const int format = ChoosePixelFormat(deviceContext, &request);
    if (format == 0) {
        showError("ChoosePixelFormat() failed:  Cannot find a suitable pixel format.");
        return false;
    }
    if (!SetPixelFormat(deviceContext, format, &request)) {
        showError("SetPixelFormat() failed:  Cannot set format specified.");
        return false;
    }
    return true;
}

void setScreenSaverRunning(BOOL running, UINT* previous) {
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running, previous, 0);
}

// Every waiting message first; a frame only when the queue is empty. False once WM_QUIT arrives.
bool pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return false;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

void frameLoop(HDC deviceContext) {
    while (pumpMessages()) {
        if (currentScene) {
            const uint32_t options = currentContext && currentContext->useMirrors ? frameOptionMirrors : 0;
            const bool present = currentScene->drawFrame(options);
            if (saverFrameDrawn) saverFrameDrawn();
            if (present) SwapBuffers(deviceContext);
            Sleep(DWORD(currentScene->sleepMs));
        } else {
            Sleep(50);  // no scene to draw: keep handling messages without spinning
        }
    }
}
}  // namespace

PIXELFORMATDESCRIPTOR pixelFormatRequest() {
    PIXELFORMATDESCRIPTOR request{};
    request.nSize = sizeof request;  // 40
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 32;
    return request;
}

bool registerSaverClass() {
    WNDCLASSA windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = saverWindowProc;
    windowClass.hInstance = moduleInstance;
    windowClass.lpszClassName = "OpenGL";
    return RegisterClassA(&windowClass) != 0;
}

void runSaverWindow(HWND parent, int showCommand) {
    if (!registerSaverClass()) {
        showError("RegisterClass() failed:  Cannot register window class.");
        return;
    }

    const bool saver = currentMode == SaverMode::Saver;
    PixelRect place{};  // a preview child sits at 0, 0 of its host
    DWORD style;
    if (saver) {
        parent = nullptr;
        style = WS_POPUP | WS_VISIBLE;
        place = virtualScreen();  // every monitor
    } else {
        RECT rect{};
        GetWindowRect(parent, &rect);
        style = WS_CHILD | WS_VISIBLE;
        place.width = rect.right - rect.left;
        place.height = rect.bottom - rect.top;
    }

    saverWindow = CreateWindowExA(0, "OpenGL", "SaverWindow", style, place.x, place.y, place.width, place.height,
                                  parent, nullptr, moduleInstance, nullptr);
    if (!saverWindow) return;

    UINT previousRunning = 0;
    if (saver) setScreenSaverRunning(TRUE, &previousRunning);

    HDC deviceContext = GetDC(saverWindow);
    if (!setPixelFormat(deviceContext)) {
        ReleaseDC(saverWindow, deviceContext);
        if (saver) setScreenSaverRunning(FALSE, &previousRunning);
        return;
    }
    HGLRC renderingContext = wglCreateContext(deviceContext);
    const bool current = renderingContext && wglMakeCurrent(deviceContext, renderingContext);

    // The scene makes itself currentScene; without a current context it would draw nowhere, so the
    // window then stays black and closes on the usual input.
    std::unique_ptr<Kaleidoscope> scene(current ? new (std::nothrow) Kaleidoscope(place.width, place.height)
                                                : nullptr);
    if (saver) layOutSaverWindow(saverWindow);  // one copy per monitor
    ShowWindow(saverWindow, showCommand);

    frameLoop(deviceContext);

    scene.reset();
    currentScene = nullptr;
    wglMakeCurrent(nullptr, nullptr);
    ReleaseDC(saverWindow, deviceContext);
    if (renderingContext) wglDeleteContext(renderingContext);
    if (saver) setScreenSaverRunning(FALSE, &previousRunning);
}
