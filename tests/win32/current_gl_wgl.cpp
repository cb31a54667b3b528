// A current WGL context on a hidden window for tests; see tests/support/current_gl.h.
#include "support/current_gl.h"

#include <windows.h>

std::shared_ptr<void> makeCurrentGl(int width, int height) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QuillonTestGl";
    RegisterClassA(&windowClass);  // fails harmlessly the second time
    HWND window = CreateWindowExA(0, "QuillonTestGl", "", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    HDC dc = window ? GetDC(window) : nullptr;
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.cColorBits = 32;
    format.cDepthBits = 24;
    HGLRC context = nullptr;
    if (dc && SetPixelFormat(dc, ChoosePixelFormat(dc, &format), &format)) context = wglCreateContext(dc);
    if (!context || !wglMakeCurrent(dc, context)) {
        if (context) wglDeleteContext(context);
        if (window) DestroyWindow(window);
        return nullptr;
    }
    return std::shared_ptr<void>(context, [window](void* made) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(static_cast<HGLRC>(made));
        DestroyWindow(window);
    });
}
