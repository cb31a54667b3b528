// The settings against Wine's real registry: defaults, damaged values and keys the user may only read on
// loading; storing them through the real configuration dialog, driven from a watcher thread.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <future>
#include <string>
#include <utility>
#include <vector>

#include "host/saver_context.h"
#include "quillon_version.h"
#include "host/win32/win32_host.h"
#include "tests/win32/watch.h"

namespace {
const char* const systemKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
const char* const saverKey = "Software\\Ostrel\\Lanthorn Saver";
using Bytes = std::vector<BYTE>;
using Value = std::pair<DWORD, Bytes>;  // type and data; REG_NONE: missing
const Value none{REG_NONE, {}};

void setValue(const char* path, const char* name, DWORD type, Bytes data) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, name, 0, type, data.data(), DWORD(data.size()));
    RegCloseKey(key);
}

Value storedMirrors() {
    Value value{REG_NONE, Bytes(16)};
    DWORD size = DWORD(value.second.size());
    if (RegGetValueA(HKEY_CURRENT_USER, saverKey, "UseMirrors", RRF_RT_ANY, &value.first, value.second.data(), &size))
        return none;
    value.second.resize(size);
    return value;
}

// The dialog's controls in their order: id, class and text, a line each.
std::string controls(HWND dialog) {
    std::string seen;
    char name[32], text[64];
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        GetClassNameA(c, name, sizeof name), GetWindowTextA(c, text, sizeof text);
        seen += std::to_string(short(GetDlgCtrlID(c))) + " " + name + " " + text + "\n";
    }
    return seen;
}

// Leaves everyone the right to read the key and nothing more.
void makeReadOnly(const char* path) {
    HKEY key;
    RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, WRITE_DAC, &key);
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly, nullptr);
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly);
    LocalFree(readOnly);
    RegCloseKey(key);
}

class Settings : public testing::Test {
protected:
    // The tests rewrite the user's screen-saver settings, so they only run inside a Wine prefix.
    void SetUp() override {
        if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) GTEST_SKIP() << "Wine only";
        clear();
    }
    void TearDown() override {
        if (!IsSkipped()) clear();
    }
    static void clear() {
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
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, saverKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
        << "reading creates nothing";

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

    // The loads ask for full access, so keys the user may read but not write count as missing.
    for (const char* path : {systemKey, saverKey}) makeReadOnly(path);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, saverKey, 0, KEY_ALL_ACCESS, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(loaded(), (std::vector<uint32_t>{15, 50, 0, 1, 0}));
}

// Dialog 104 as a user drives it, with keys and clicks posted from a watcher thread, its controls as the user
// sees them. OK stores the check box as REG_DWORD, whatever type the value had; Cancel, Escape and the close
// button store nothing.
TEST_F(Settings, DialogOkStoresTheBoxAsDwordWhileCancelEscapeAndCloseStoreNothing) {
    struct Post { int control; UINT message; WPARAM wParam; };  // control 0: the dialog itself
    const Post clickBox{1001, BM_CLICK, 0};
    const Value binarySeven{REG_BINARY, {7, 0, 0, 0}};
    const struct { Value before; std::vector<Post> posts; Value after; } cases[] = {
        {none, {{0, WM_KEYDOWN, VK_RETURN}}, {REG_DWORD, {1, 0, 0, 0}}},  // the loaded default, key created
        {binarySeven, {clickBox, {IDOK, BM_CLICK, 0}}, {REG_DWORD, {0, 0, 0, 0}}},
        {binarySeven, {clickBox, {IDCANCEL, BM_CLICK, 0}}, binarySeven},
        {binarySeven, {clickBox, {0, WM_KEYDOWN, VK_ESCAPE}}, binarySeven},
        {binarySeven, {clickBox, {0, WM_SYSCOMMAND, SC_CLOSE}}, binarySeven},
    };
    for (const auto& c : cases) {
        clear();
        if (c.before != none) setValue(saverKey, "UseMirrors", c.before.first, c.before.second);
        SaverContext context;
        context.loadSaverSettings();
        currentContext = &context;
        auto watcher = std::async(std::launch::async, [&] {
            HWND dialog = awaitDialog(GetCurrentProcessId(), "Config dialog");
            EXPECT_EQ(controls(dialog), std::string("1 Button OK\n2 Button Cancel\n-1 Static Kaleidoscope, 2026\n"
                                                    "-1 Static Quillon saver\n-1 Static Free software\n"
                                                    "1001 Button Use Mirrors\n-1 Static Version ") +
                                            QUILLON_VERSION + "\n");
            for (const Post& post : c.posts)
                PostMessageA(post.control ? GetDlgItem(dialog, post.control) : dialog, post.message, post.wParam, 0);
        });
        DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(104), nullptr, configDialogProc, 0);
        watcher.get();
        currentContext = nullptr;
        EXPECT_EQ(storedMirrors(), c.after) << "case " << &c - cases;
    }
}
