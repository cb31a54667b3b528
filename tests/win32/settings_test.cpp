// The settings against Wine's real registry: defaults and damaged values on loading. Storing them
// through the configuration dialog is driven end to end by tests/win32/e2e.sh.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "host/saver_context.h"

namespace {
const char* const systemKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
const char* const saverKey = "Software\\Ostrel\\Lanthorn Saver";
using Bytes = std::vector<BYTE>;

// The tests rewrite the user's screen-saver settings, so they only run inside a Wine prefix.
bool underWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void setValue(const char* path, const char* name, DWORD type, Bytes data) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, name, 0, type, data.data(), DWORD(data.size()));
    RegCloseKey(key);
}

class Settings : public testing::Test {
protected:
    void SetUp() override {
        if (!underWine()) GTEST_SKIP() << "rewrites the user's screen-saver settings; Wine only";
        clear();
    }
    void TearDown() override {
        if (underWine()) clear();
    }
    static void clear() {
        for (const char* path : {systemKey, saverKey}) RegDeleteTreeA(HKEY_CURRENT_USER, path);
        for (const char* path : {systemKey, saverKey}) RegDeleteKeyA(HKEY_CURRENT_USER, path);
    }

    // Loads into a record holding junk first, so each default must be set, not just left in place;
    // gives delay, threshold, mute, mirrors and the password-check flag.
    static std::vector<uint32_t> loaded() {
        SaverContext loading;
        loading.passwordDelay = loading.useMirrors = loading.checkingPassword = 99;
        loading.mouseThreshold = 99;
        loading.loadSystemSettings();
        loading.loadSaverSettings();
        return {loading.passwordDelay, uint32_t(loading.mouseThreshold), loading.muteSound, loading.useMirrors,
                loading.checkingPassword};
    }
};
}  // namespace

TEST_F(Settings, LoadingTakesUpToFourBytesOfAnyTypeAndKeepsDefaultsOtherwise) {
    EXPECT_EQ(loaded(), (std::vector<uint32_t>{15, 50, 0, 1, 0}));
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, saverKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND) << "reading creates nothing";

    // Four bytes are little-endian and signed where the field is; longer data keeps the default.
    setValue(systemKey, "Password Delay", REG_BINARY, {5, 0, 0, 0, 0, 0, 0, 0});
    setValue(systemKey, "Mouse Threshold", REG_BINARY, {0xff, 0xff, 0xff, 0xff});
    setValue(systemKey, "Mute Sound", REG_BINARY, {0x44, 0x33, 0x22, 0x11});
    setValue(saverKey, "UseMirrors", REG_QWORD, {0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(loaded(), (std::vector<uint32_t>{15, uint32_t(-1), 0x11223344, 1, 0}));

    // A one-byte value read after a four-byte one takes nothing from it in the shared buffer.
    setValue(systemKey, "Password Delay", REG_DWORD, {0x44, 0x33, 0x22, 0x11});
    setValue(systemKey, "Mouse Threshold", REG_BINARY, {0x05});
    setValue(saverKey, "UseMirrors", REG_DWORD, {2, 0, 0, 0});
    EXPECT_EQ(loaded(), (std::vector<uint32_t>{0x11223344, 5, 0x11223344, 2, 0}));
}
