// Helpers for the Windows host tests: the registry under HKEY_CURRENT_USER and the message queue.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace test {

constexpr const char* systemKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
constexpr const char* saverKey = "Software\\Ostrel\\Lanthorn Saver";

// The tests rewrite the user's screen-saver settings, so they only run inside a Wine prefix.
inline bool underWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

inline void deleteKey(const char* path) {
    RegDeleteTreeA(HKEY_CURRENT_USER, path);
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

inline bool keyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

inline void setValue(const char* path, const char* name, DWORD type, std::vector<BYTE> data) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, name, 0, type, data.data(), DWORD(data.size()));
    RegCloseKey(key);
}

inline void setDword(const char* path, const char* name, DWORD value) {
    setValue(path, name, REG_DWORD, {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)});
}

struct StoredValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

inline StoredValue readValue(const char* path, const char* name) {
    StoredValue value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    BYTE buffer[64];
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key, name, nullptr, &value.type, buffer, &size) == ERROR_SUCCESS) {
        value.found = true;
        value.data.assign(buffer, buffer + size);
    }
    RegCloseKey(key);
    return value;
}

// Handles every waiting message of this thread; true when WM_QUIT was among them.
inline bool pumpMessages() {
    bool quit = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return quit;
}

}  // namespace test
