// Waiting on windows without sleeping through time: pumping messages until a condition holds, and
// finding and answering the dialogs and message boxes the host shows (from a watcher thread or process).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Handles this thread's messages until done() holds; false when it still fails after twenty seconds.
inline bool pumpUntil(const std::function<bool()>& done) {
    for (const DWORD start = GetTickCount(); !done(); MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT)) {
        if (GetTickCount() - start > 20000) return false;
        for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
    }
    return true;
}

// The visible dialog titled `title` that process `pid` shows; null when none comes.
inline HWND awaitDialog(DWORD pid, const char* title) {
    HWND found = nullptr;
    const bool shown = pumpUntil([&] {
        for (DWORD owner = 0; (found = FindWindowExA(nullptr, found, "#32770", title));)
            if (GetWindowThreadProcessId(found, &owner) && owner == pid && IsWindowVisible(found)) return true;
        return false;
    });
    return shown ? found : nullptr;
}

// What a message box shows, "text|ids of its buttons" and "|owned" if it has an owner; then presses OK.
inline std::string answerBox(HWND box) {
    if (!box) return "no message box captioned Error";
    char text[128] = {};
    GetDlgItemTextA(box, 0xffff, text, sizeof text);
    std::string seen = text;
    for (int id = IDOK; id <= IDHELP; ++id)
        if (GetDlgItem(box, id)) seen += "|" + std::to_string(id);
    if (GetWindow(box, GW_OWNER)) seen += "|owned";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return seen;
}
