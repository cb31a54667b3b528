// The settings against Wine's real registry: defaults and damaged values on loading, and the
// configuration dialog showing the setting and storing it as a REG_DWORD.
#include <gtest/gtest.h>

#include <windows.h>

#include <utility>
#include <vector>

#include "host/saver_context.h"
#include "host/win32/win32_host.h"

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

bool saverKeyExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, saverKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::pair<DWORD, Bytes> storedMirrors() {
    DWORD type = REG_NONE;
    BYTE buffer[16];
    DWORD size = sizeof buffer;
    if (RegGetValueA(HKEY_CURRENT_USER, saverKey, "UseMirrors", RRF_RT_ANY, &type, buffer, &size) != ERROR_SUCCESS)
        return {REG_NONE, {}};
    return {type, Bytes(buffer, buffer + size)};
}

class Settings : public testing::Test {
protected:
    void SetUp() override {
        if (!underWine()) GTEST_SKIP() << "rewrites the user's screen-saver settings; Wine only";
        clear();
        currentContext = &context;
    }
    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
        currentContext = nullptr;
        if (underWine()) clear();
    }
    static void clear() {
        for (const char* path : {systemKey, saverKey}) RegDeleteTreeA(HKEY_CURRENT_USER, path);
        for (const char* path : {systemKey, saverKey}) RegDeleteKeyA(HKEY_CURRENT_USER, path);
    }

    // Loads into a record holding junk first, so each default must be set, not just left in place.
    static SaverContext loaded() {
        SaverContext loading;
        loading.passwordDelay = loading.useMirrors = loading.checkingPassword = 99;
        loading.mouseThreshold = 99;
        loading.loadSystemSettings();
        loading.loadSaverSettings();
        return loading;
    }

    SaverContext context;
    HWND dialog = nullptr;
};
}  // namespace

TEST_F(Settings, LoadingTakesUpToFourBytesOfAnyTypeAndKeepsDefaultsOtherwise) {
    SaverContext context = loaded();
    EXPECT_EQ((std::vector<uint32_t>{context.passwordDelay, uint32_t(context.mouseThreshold),
                                     context.checkingPassword, context.useMirrors}),
              (std::vector<uint32_t>{15, 50, 0, 1}));
    EXPECT_FALSE(saverKeyExists()) << "reading creates nothing";

    // Four bytes are little-endian and signed where the field is; longer data keeps the default.
    setValue(systemKey, "Password Delay", REG_BINARY, {5, 0, 0, 0, 0, 0, 0, 0});
    setValue(systemKey, "Mouse Threshold", REG_BINARY, {0xff, 0xff, 0xff, 0xff});
    setValue(systemKey, "Mute Sound", REG_BINARY, {0x44, 0x33, 0x22, 0x11});
    setValue(saverKey, "UseMirrors", REG_QWORD, {0, 0, 0, 0, 0, 0, 0, 0});
    context = loaded();
    EXPECT_EQ(context.passwordDelay, 15u);
    EXPECT_EQ(context.mouseThreshold, -1);
    EXPECT_EQ(context.muteSound, 0x11223344u);
    EXPECT_EQ(context.useMirrors, 1u);

    // A one-byte value read after a four-byte one takes nothing from it in the shared buffer.
    setValue(systemKey, "Password Delay", REG_DWORD, {0x44, 0x33, 0x22, 0x11});
    setValue(systemKey, "Mouse Threshold", REG_BINARY, {0x05});
    setValue(saverKey, "UseMirrors", REG_DWORD, {0, 0, 0, 0});
    context = loaded();
    EXPECT_EQ(context.passwordDelay, 0x11223344u);
    EXPECT_EQ(context.mouseThreshold, 5);
    EXPECT_EQ(context.useMirrors, 0u);
}

// The dialog's end to end run covers the keys, Return and Escape; here a non-zero setting other than 1
// and a stored value of another type.
TEST_F(Settings, DialogChecksTheBoxForAnyNonZeroSettingAndOkStoresADword) {
    setValue(saverKey, "UseMirrors", REG_SZ, {'1', 0});
    context.useMirrors = 2;
    dialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(104), nullptr, configDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1001), UINT(BST_CHECKED));
    SendDlgItemMessageA(dialog, 1001, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1001), UINT(BST_UNCHECKED));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(storedMirrors(), (std::pair<DWORD, Bytes>{REG_DWORD, {0, 0, 0, 0}}));
    EXPECT_EQ(loaded().useMirrors, 0u) << "and it loads back";
}
