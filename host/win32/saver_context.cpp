// SaverContext's settings in the per-user registry (pairs with host/saver_context.h).
#include "host/saver_context.h"

#include <windows.h>

#include <cstring>

SaverContext* currentContext = nullptr;

namespace {
const char* const systemKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
const char* const saverKey = "Software\\Ostrel\\Lanthorn Saver";

// Up to four bytes of any type, taken as a little-endian 32-bit integer. Data longer than four
// bytes fails the query; shorter data is zero-extended rather than mixed with an earlier value.
template <typename Field>
void queryValue(HKEY key, const char* name, unsigned char (&buffer)[4], Field& field) {
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key, name, nullptr, nullptr, buffer, &size) == ERROR_SUCCESS) {
        uint32_t value = 0;
        for (DWORD i = 0; i < size && i < sizeof buffer; ++i) value |= uint32_t(buffer[i]) << (8 * i);
        std::memcpy(&field, &value, sizeof value);
    }
}
}  // namespace

void SaverContext::loadSystemSettings() {
    passwordDelay = 15;
    mouseThreshold = 50;
    checkingPassword = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, systemKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    unsigned char buffer[4] = {};
    queryValue(key, "Password Delay", buffer, passwordDelay);
    queryValue(key, "Mouse Threshold", buffer, mouseThreshold);
    queryValue(key, "Mute Sound", buffer, muteSound);
    RegCloseKey(key);
}

void SaverContext::loadSaverSettings() {
    useMirrors = 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, saverKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    unsigned char buffer[4] = {};
    queryValue(key, "UseMirrors", buffer, useMirrors);
    RegCloseKey(key);
}

void SaverContext::storeSaverSettings() {
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, saverKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return;
    const DWORD value = useMirrors;
    RegSetValueExA(key, "UseMirrors", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}
