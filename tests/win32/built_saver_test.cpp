// The built quillon.scr itself: its resources read as a data file, and each switch run as the system
// runs it, in a child process beside a host window of this test.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "host/win32/win32_host.h"
#include "platform/platform.h"
#include "tests/win32/watch.h"

namespace {
// A file beside this test program (build/mingw/tests/win32); the saver is built in build/mingw/host/win32.
std::string besideTests(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program = path;
    return program.substr(0, program.rfind('\\') + 1) + name;
}
const std::string builtSaver = besideTests("..\\..\\host\\win32\\quillon.scr");

std::string resourceName(LPCSTR name) { return IS_INTRESOURCE(name) ? std::to_string(uintptr_t(name)) : name; }

// Every resource of the module as "type/name/language", sorted.
std::vector<std::string> resourceList(HMODULE module) {
    std::vector<std::string> list;
    EnumResourceTypesA(module, [](HMODULE m, LPSTR type, LONG_PTR out) -> BOOL {
        return EnumResourceNamesA(m, type, [](HMODULE m, LPCSTR type, LPSTR name, LONG_PTR out) -> BOOL {
            return EnumResourceLanguagesA(m, type, name, [](HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR out) -> BOOL {
                reinterpret_cast<std::vector<std::string>*>(out)->push_back(
                    resourceName(type) + "/" + resourceName(name) + "/" + std::to_string(language));
                return TRUE;
            }, out);
        }, out);
    }, LONG_PTR(&list));
    std::sort(list.begin(), list.end());
    return list;
}

const void* resource(HMODULE module, LPCSTR name, LPCSTR type) {
    return LockResource(LoadResource(module, FindResourceA(module, name, type)));
}

// Reads a classic dialog template (DLGTEMPLATE and DLGITEMTEMPLATE) field by field.
struct TemplateReader {
    const WORD* at;
    WORD word() { return *at++; }
    DWORD dword() {
        const DWORD low = word();
        return low | DWORD(word()) << 16;
    }
    std::string rect() {
        const short x = short(word()), y = short(word()), cx = short(word()), cy = short(word());
        return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(cx) + "x" + std::to_string(cy);
    }
    // A string, or an ordinal (0xFFFF and a number) written as "#number".
    std::string text() {
        if (*at == 0xffff) {
            at += 2;
            return "#" + std::to_string(at[-1]);
        }
        std::string s;
        while (*at) s += char(*at++);
        ++at;
        return s;
    }
};

// Dialog 104: the dialog ("style extended-style x,y WxH menu class caption font"), then each control
// ("style extended-style x,y WxH id class text") in template order.
std::vector<std::string> dialogTemplate(HMODULE module) {
    TemplateReader r{static_cast<const WORD*>(resource(module, MAKEINTRESOURCEA(104), RT_DIALOG))};
    std::ostringstream dialog;
    const DWORD style = r.dword();
    dialog << std::hex << style << ' ' << r.dword();
    const WORD controls = r.word();
    dialog << ' ' << r.rect() << " menu[" << r.text() << "] class[" << r.text() << "] " << r.text();
    if (style & DS_SETFONT) dialog << " font " << std::dec << r.word() << ' ' << r.text();
    std::vector<std::string> lines{dialog.str()};
    for (WORD i = 0; i < controls; ++i) {
        r.at += uintptr_t(r.at) % 4 / 2;  // each control starts on a 4-byte boundary
        std::ostringstream control;
        control << std::hex << r.dword() << ' ' << r.dword() << ' ' << r.rect() << std::dec << " id " << short(r.word());
        control << ' ' << r.text() << ' ' << r.text();
        r.at += (r.word() + 1) / 2;  // creation data
        lines.push_back(control.str());
    }
    return lines;
}

std::string hex(DWORD value) {
    std::ostringstream text;
    text << std::hex << value;
    return text.str();
}
// A control line as dialogTemplate writes it, with the styles it has besides WS_CHILD and WS_VISIBLE.
std::string control(DWORD style, const char* rest) { return hex(WS_CHILD | WS_VISIBLE | style) + " 0 " + rest; }

// Icon group 1, per icon: "size in the group, colours, size and bits per pixel of the image".
std::vector<std::string> iconGroup(HMODULE module) {
    const auto* group = static_cast<const BYTE*>(resource(module, MAKEINTRESOURCEA(1), RT_GROUP_ICON));
    std::vector<std::string> icons;
    for (int i = 0; i < (group[4] | group[5] << 8); ++i) {
        const BYTE* entry = group + 6 + 14 * i;  // GRPICONDIRENTRY
        const auto* image = static_cast<const BITMAPINFOHEADER*>(
            resource(module, MAKEINTRESOURCEA(entry[12] | entry[13] << 8), RT_ICON));
        std::ostringstream icon;
        icon << int(entry[0]) << "x" << int(entry[1]) << " " << int(entry[2]) << " colours, " << image->biWidth << "x"
             << image->biHeight / 2 << " " << image->biBitCount << " bits";
        icons.push_back(icon.str());
    }
    return icons;
}

}  // namespace

TEST(BuiltSaver, ResourcesAsTheSystemReadsThem) {
    HMODULE scr = LoadLibraryExA(builtSaver.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(scr, nullptr) << builtSaver;
    // Types: 3 icon, 5 dialog, 6 string block (strings 0 to 15), 10 data, 14 icon group, 24 manifest;
    // 1033 is English (United States).
    ASSERT_EQ(resourceList(scr), (std::vector<std::string>{"10/JPEG_DISCS_MASK/1033", "10/LOGO_MASK/1033", "14/1/1033",
                                                           "24/1/1033", "3/1/1033", "3/2/1033", "5/104/1033", "6/1/1033"}));
    EXPECT_EQ(dialogTemplate(scr),
              (std::vector<std::string>{
                  hex(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT) +
                      " 0 0,0 228x102 menu[] class[] Config dialog font 8 MS Sans Serif",
                  control(WS_TABSTOP | BS_DEFPUSHBUTTON, "172,4 50x14 id 1 #128 OK"),  // #128: button
                  control(WS_TABSTOP | BS_PUSHBUTTON, "172,23 50x14 id 2 #128 Cancel"),
                  control(WS_GROUP | SS_LEFT, "7,78 100x8 id -1 #130 Kaleidoscope, 2026"),  // #130: static
                  control(WS_GROUP | SS_LEFT, "7,55 64x8 id -1 #130 Quillon saver"),
                  control(WS_GROUP | SS_LEFT, "7,63 63x8 id -1 #130 Free software"),
                  control(WS_TABSTOP | BS_AUTOCHECKBOX, "9,14 52x10 id 1001 #128 Use Mirrors"),
                  control(WS_GROUP | SS_LEFT, "7,34 36x8 id -1 #130 Version 2.0"),
              }));
    char description[64] = {};
    LoadStringA(scr, 1, description, sizeof description);
    EXPECT_STREQ(description, "Quillon screen saver");
    EXPECT_EQ(iconGroup(scr), (std::vector<std::string>{"32x32 16 colours, 32x32 4 bits", "16x16 16 colours, 16x16 4 bits"}));
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

// Each switch with a host window's handle after it. A copy of the saver sits beside the stand-in
// MPR.DLL built with these tests; Wine loads it for that copy only when told to prefer a native MPR.DLL.
TEST(BuiltSaver, EachSwitchCarriesOutItsOneActionAndExitsWithZero) {
    const std::string saver = besideTests("quillon.scr");
    ASSERT_TRUE(CopyFileA(builtSaver.c_str(), saver.c_str(), FALSE));
    const char* const appDefaults = "Software\\Wine\\AppDefaults\\quillon.scr";
    const struct { std::string arguments; const char *mpr, *titleAfter; } cases[] = {
        {"/x", nullptr, "host"},
        {"/", nullptr, "host"},
        {"/a", "native", "SCRSAVE"},  // the stand-in's account of its arguments
        {"/a", "", "host"},           // no MPR.DLL at all
        {"/c", nullptr, "host"},
        {"/p", nullptr, ""},  // the host is destroyed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (c.mpr) RegSetKeyValueA(HKEY_CURRENT_USER, (std::string(appDefaults) + "\\DllOverrides").c_str(), "mpr", REG_SZ, c.mpr, DWORD(strlen(c.mpr) + 1));
        HWND host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 40, 40, 320, 240, nullptr,
                                    nullptr, nullptr, nullptr);
        std::string commandLine = "\"" + saver + "\" " + c.arguments + " " + std::to_string(intptr_t(host));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
        if (c.arguments == "/c") {
            HWND dialog = awaitDialog(process.dwProcessId, "Config dialog");
            EXPECT_TRUE(dialog && GetWindow(dialog, GW_OWNER) == host) << "owned by the window given";
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        if (c.arguments == "/p") {
            EXPECT_TRUE(pumpUntil([&] { return FindWindowExA(host, nullptr, "OpenGL", "SaverWindow") != nullptr; }));
            DestroyWindow(host);
        }
        if (!pumpUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }))
            TerminateProcess(process.hProcess, STILL_ACTIVE);
        DWORD exitCode = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &exitCode);
        EXPECT_EQ(exitCode, 0u);
        char title[32] = {};
        GetWindowTextA(host, title, sizeof title);
        EXPECT_STREQ(title, c.titleAfter);
        DestroyWindow(host);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        RegDeleteTreeA(HKEY_CURRENT_USER, appDefaults);
    }
}
