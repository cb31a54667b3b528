// Stands in for the system's preview: a host window, quillon.scr /p <handle> inside it, then the host
// window is destroyed and the saver must end with exit code 0 (driven by tests/win32/e2e.sh).
// Usage: preview_host <quillon.scr> <file that, once it exists, ends the preview>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {
// Handles the host's messages for up to timeoutMs, until done() holds; false on timeout.
template <typename Done>
bool pumpUntil(Done done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = "PreviewHost";
    RegisterClassA(&windowClass);
    HWND host = CreateWindowExA(0, "PreviewHost", "Preview host", WS_POPUP | WS_VISIBLE, 40, 40, 320, 240, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
    std::string commandLine = std::string("\"") + argv[1] + "\" /p " + std::to_string(reinterpret_cast<intptr_t>(host));
    STARTUPINFOA startup{sizeof startup};
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 2;

    HWND child = nullptr;
    const bool appeared =
        pumpUntil([&] { return (child = FindWindowExA(host, nullptr, "OpenGL", "SaverWindow")) != nullptr; }, 20000);
    RECT hostRect{}, childRect{};
    GetWindowRect(host, &hostRect);
    GetWindowRect(child, &childRect);
    std::printf("host %ld,%ld %ldx%ld child %s %ld,%ld %ldx%ld\n", hostRect.left, hostRect.top,
                hostRect.right - hostRect.left, hostRect.bottom - hostRect.top, appeared ? "shown" : "missing",
                childRect.left, childRect.top, childRect.right - childRect.left, childRect.bottom - childRect.top);
    std::fflush(stdout);

    pumpUntil([&] { return GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES; }, 30000);
    DestroyWindow(host);
    DWORD exitCode = 1;
    const bool ended = pumpUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 15000);
    if (ended) GetExitCodeProcess(process.hProcess, &exitCode);
    else TerminateProcess(process.hProcess, 3);
    std::printf("saver %s, exit code %lu\n", ended ? "ended" : "still running", exitCode);
    return appeared && ended && exitCode == 0 ? 0 : 1;
}
