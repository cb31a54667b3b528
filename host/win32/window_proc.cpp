// The saver window's procedure: hidden cursor, closing input, the grace period and the password check.
#include <windows.h>

#include "host/command_line.h"
#include "host/saver_context.h"
#include "host/win32/win32_host.h"
#include "scene/kaleidoscope.h"

DWORD (*saverTickSource)() = [] { return GetTickCount(); };
BOOL (*saverPasswordCheck)(HWND window) = verifySaverPassword;

namespace {
HWND windowOf(const SaverContext& context) { return reinterpret_cast<HWND>(context.window); }

bool saverRules() { return currentMode == SaverMode::Saver; }
bool inputRules() { return saverRules() && currentContext && !currentContext->checkingPassword; }

CursorPoint cursorNow() {
    POINT point{};
    GetCursorPos(&point);
    return {int32_t(point.x), int32_t(point.y)};
}

void recordWindow(HWND window) {
    if (!currentContext) return;
    currentContext->window = reinterpret_cast<uintptr_t>(window);
    currentContext->startCursor = cursorNow();
    currentContext->startTick = saverTickSource();
}

void closeSequence(HWND window) {
    SaverContext& context = *currentContext;
    if (!context.closeRequested || context.checkingPassword) return;
    if (withinGracePeriod(context.startTick, saverTickSource(), context.passwordDelay)) {
        DestroyWindow(window);
        return;
    }
    context.beginPasswordCheck();
    const BOOL verified = saverPasswordCheck(window);
    context.endPasswordCheck();
    if (verified) DestroyWindow(window);
}

// A key word the scene does not take as a command closes the saver.
void offerToScene(WPARAM wParam) {
    if (currentScene && currentScene->handleKey(uint32_t(wParam))) return;
    currentContext->requestClose();
}
}  // namespace

void SaverContext::requestClose() {
    closeRequested = 1;
    PostMessageA(windowOf(*this), WM_CLOSE, 0, 0);
}

void SaverContext::beginPasswordCheck() {
    checkingPassword = 1;
    SendMessageA(windowOf(*this), WM_SETCURSOR, 0, 0);
}

void SaverContext::endPasswordCheck() {
    checkingPassword = 0;
    SendMessageA(windowOf(*this), WM_SETCURSOR, 0, 0);
    startCursor = cursorNow();
}

LRESULT CALLBACK saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        recordWindow(window);
        break;
    case WM_DESTROY:
        if (currentContext && currentContext->timerId) {
            KillTimer(window, currentContext->timerId);
            currentContext->timerId = 0;
        }
        PostQuitMessage(0);
        break;
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_NCACTIVATE:
        if (inputRules() && LOWORD(wParam) == 0) currentContext->requestClose();
        break;
    case WM_CLOSE:
        if (saverRules() && currentContext) {
            closeSequence(window);
            return 0;
        }
        break;
    case WM_SETCURSOR:
        SetCursor(inputRules() ? nullptr : LoadCursorA(nullptr, IDC_ARROW));
        // The default handling would put the arrow back for the hit-test code 0 that the password
        // check sends, leaving the cursor visible after the check; the saver's choice is final.
        if (saverRules()) return TRUE;
        break;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (inputRules()) offerToScene(wParam);
        break;
    case WM_SYSCOMMAND:
        if (saverRules() && (wParam == SC_SCREENSAVE || wParam == SC_CLOSE)) return 0;
        break;
    case WM_DISPLAYCHANGE:
        // A monitor came or went, or changed its size: cover the new layout. No closing input, and the
        // cursor the system may have moved onto a remaining monitor is the new reference point.
        if (saverRules()) {
            layOutSaverWindow(window);
            if (currentContext) currentContext->startCursor = cursorNow();
        }
        break;
    case WM_MOUSEMOVE:
        if (inputRules() &&
            cursorBeyondThreshold(currentContext->startCursor, cursorNow(), currentContext->mouseThreshold))
            currentContext->requestClose();
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL verifySaverPassword(HWND window) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;  // 148
    GetVersionExA(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return 1;

    HMODULE library = LoadLibraryA("PASSWORD.CPL");
    if (!library) return 1;
    using VerifyFunction = BOOL(WINAPI*)(HWND);
    auto verify = reinterpret_cast<VerifyFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "VerifyScreenSavePwd")));
    if (!verify) {
        FreeLibrary(library);
        return 1;
    }
    const BOOL result = verify(window);
    FreeLibrary(library);
    return result;
}
