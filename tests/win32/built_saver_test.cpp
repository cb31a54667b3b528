// The built quillon.scr itself: its resources read as a data file, and each switch run as the system runs
// it, in a child process beside a host window of this test.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "quillon_version.h"
#include "tests/win32/watch.h"

namespace {
// A file beside this test program (build/mingw/tests/win32); the saver is built in build/mingw/host/win32.
std::string besideTests(const char* name) {
    char path[MAX_PATH] = {};
    const std::string program(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return program.substr(0, program.rfind('\\') + 1) + name;
}
const std::string builtSaver = besideTests("..\\..\\host\\win32\\quillon.scr");

std::string resourceName(LPCSTR name) { return IS_INTRESOURCE(name) ? std::to_string(uintptr_t(name)) : name; }

// Every resource of the module as "type/name", sorted.
std::vector<std::string> resourceList(HMODULE module) {
    std::vector<std::string> list;
    EnumResourceTypesA(module, [](HMODULE m, LPSTR type, LONG_PTR out) -> BOOL {
        return EnumResourceNamesA(m, type, [](HMODULE, LPCSTR type, LPSTR name, LONG_PTR out) -> BOOL {
            reinterpret_cast<std::vector<std::string>*>(out)->push_back(resourceName(type) + "/" + resourceName(name));
            return TRUE;
        }, out);
    }, LONG_PTR(&list));
    std::sort(list.begin(), list.end());
    return list;
}

const WORD* resource(HMODULE module, LPCSTR name, LPCSTR type) {
    return static_cast<const WORD*>(LockResource(LoadResource(module, FindResourceA(module, name, type))));
}

}  // namespace

TEST(BuiltSaver, ResourcesAsTheSystemReadsThem) {
    HMODULE scr = LoadLibraryExA(builtSaver.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(scr, nullptr) << builtSaver;
    // Types: 3 icon, 5 dialog, 6 string block (strings 0 to 15), 10 data, 14 icon group, 16 version,
    // 24 manifest.
    ASSERT_EQ(resourceList(scr), (std::vector<std::string>{"10/JPEG_DISCS_MASK", "10/LOGO_MASK", "14/1", "16/1",
                                                           "24/1", "3/1", "3/2", "5/104", "6/1"}));
    char description[64] = {};
    LoadStringA(scr, 1, description, sizeof description);
    EXPECT_STREQ(description, "Quillon screen saver");
    // Icon group 1: a GRPICONDIR, then 14-byte entries naming each icon's size, colours and resource id.
    const auto* group = reinterpret_cast<const BYTE*>(resource(scr, MAKEINTRESOURCEA(1), RT_GROUP_ICON));
    std::ostringstream icons;
    for (const BYTE* entry = group + 6; entry < group + 6 + 14 * group[4]; entry += 14) {
        const WORD id = entry[12] | entry[13] << 8;
        const auto* image = reinterpret_cast<const BITMAPINFOHEADER*>(resource(scr, MAKEINTRESOURCEA(id), RT_ICON));
        icons << int(entry[0]) << "x" << int(entry[1]) << " " << int(entry[2]) << " colours, image " << image->biWidth
              << "x" << image->biHeight / 2 << " " << image->biBitCount << " bits; ";
    }
    EXPECT_EQ(icons.str(), "32x32 16 colours, image 32x32 4 bits; 16x16 16 colours, image 16x16 4 bits; ");
    FreeLibrary(scr);

    // The same resources linked into this program: the images through the platform lookup, and the
    // manifest, which makes the process DPI aware without a call.
    for (const char* name : {"JPEG_DISCS_MASK", "LOGO_MASK"}) {
        platform::ResourceData found;
        ASSERT_TRUE(platform::findImageResource(name, found)) << name;
        EXPECT_EQ(found.bytes[0] << 8 | found.bytes[1], 0xffd8) << name << " starts as a JPEG file";
    }
    platform::ResourceData missing;
    EXPECT_FALSE(platform::findImageResource("NO_SUCH_MASK", missing));
    EXPECT_TRUE(IsProcessDPIAware());
}

// What Explorer's Properties and the list of installed programs show, read as they read it. The project's
// version string is what CMake was given; its four numbers are checked against it here.
TEST(BuiltSaver, VersionInformation) {
    std::vector<char> data(GetFileVersionInfoSizeA(builtSaver.c_str(), nullptr));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(GetFileVersionInfoA(builtSaver.c_str(), 0, DWORD(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    std::ostringstream numbers;
    numbers << HIWORD(fixed->dwFileVersionMS) << '.' << LOWORD(fixed->dwFileVersionMS) << '.'
            << HIWORD(fixed->dwFileVersionLS) << '.' << LOWORD(fixed->dwFileVersionLS);
    EXPECT_EQ(numbers.str().rfind(QUILLON_VERSION, 0), 0u) << numbers.str();
    EXPECT_EQ(numbers.str(), QUILLON_VERSION_QUAD);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
    const std::pair<const char*, std::string> strings[] = {
        {"ProductName", "Quillon"},
        {"FileDescription", "Quillon screen saver"},
        {"CompanyName", "The Quillon developers"},
        {"LegalCopyright", "Copyright (c) 2026 The Quillon developers"},
        {"OriginalFilename", "quillon.scr"},
        {"FileVersion", QUILLON_VERSION},
        {"ProductVersion", QUILLON_VERSION},
    };
    for (const auto& [name, want] : strings) {
        char* value = nullptr;
        const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
        EXPECT_TRUE(VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &size)) << name;
        EXPECT_EQ(value ? std::string(value) : "", want) << name;
    }
}

// Each switch with a host window's handle after it. A copy of the saver sits beside the stand-in MPR.DLL
// built with these tests, which Wine loads for it only when told to prefer a native MPR.DLL.
TEST(BuiltSaver, EachSwitchCarriesOutItsOneActionAndExitsWithZero) {
    const std::string saver = besideTests("quillon.scr");
    ASSERT_TRUE(CopyFileA(builtSaver.c_str(), saver.c_str(), FALSE));
    const std::string appDefaults = "Software\\Wine\\AppDefaults\\quillon.scr";
    const struct { std::string arguments; const char *mpr, *titleAfter; } cases[] = {
        {"/x", nullptr, "host"},
        {"/a", "native", "SCRSAVE"},  // the stand-in's account of its arguments
        {"/a", "", "host"},           // no MPR.DLL at all
        {"/c", nullptr, "host"},
        {"/p", nullptr, ""},  // the host is destroyed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (c.mpr)
            RegSetKeyValueA(HKEY_CURRENT_USER, (appDefaults + "\\DllOverrides").c_str(), "mpr", REG_SZ, c.mpr,
                            DWORD(strlen(c.mpr) + 1));
        HWND host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 40, 40, 320, 240, nullptr, nullptr,
                                    nullptr, nullptr);
        std::string commandLine = "\"" + saver + "\" " + c.arguments + " " + std::to_string(intptr_t(host));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &process));
        if (c.arguments == "/c") {
            HWND dialog = awaitDialog(process.dwProcessId, "Config dialog");
            EXPECT_TRUE(dialog && GetWindow(dialog, GW_OWNER) == host) << "owned by the window given";
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        if (c.arguments == "/p") {
            HWND child = nullptr;
            EXPECT_TRUE(pumpUntil([&] { return (child = FindWindowExA(host, nullptr, "OpenGL", "SaverWindow")); }));
            // Answered once the saver handles messages, in its frame loop: its set-up is done.
            SendMessageTimeoutA(child, WM_NULL, 0, 0, SMTO_NORMAL, 20000, nullptr);
            DestroyWindow(host);
        }
        DWORD exitCode = STILL_ACTIVE;
        if (!pumpUntil([&] { return GetExitCodeProcess(process.hProcess, &exitCode) && exitCode != STILL_ACTIVE; }))
            TerminateProcess(process.hProcess, exitCode);
        EXPECT_EQ(exitCode, 0u);
        char title[32] = {};
        GetWindowTextA(host, title, sizeof title);
        EXPECT_STREQ(title, c.titleAfter);
        DestroyWindow(host);
        CloseHandle(process.hProcess), CloseHandle(process.hThread);
        RegDeleteTreeA(HKEY_CURRENT_USER, appDefaults.c_str());
    }
}
