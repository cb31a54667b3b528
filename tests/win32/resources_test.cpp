// The executable's resources as compiled by windres, read back from the module: dialog 104 control
// by control, the description string, the icon group, the two images and the DPI-aware manifest;
// and the configuration dialog built from them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "host/saver_context.h"
#include "host/win32/win32_host.h"
#include "platform/platform.h"
#include "tests/win32/test_support.h"

namespace {
const WORD usEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::string resourceBytes(LPCSTR type, LPCSTR name) {
    HRSRC info = FindResourceExA(moduleInstance, type, name, usEnglish);
    if (!info) return {};
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(moduleInstance, info)));
    return std::string(bytes, SizeofResource(moduleInstance, info));
}

// Reads a dialog template (the plain DLGTEMPLATE form) field by field.
class TemplateReader {
public:
    explicit TemplateReader(const std::string& bytes) : bytes_(bytes) {}
    WORD word() {
        WORD value = 0;
        std::memcpy(&value, bytes_.data() + at_, 2);
        at_ += 2;
        return value;
    }
    DWORD dword() {
        const DWORD low = word();
        return low | DWORD(word()) << 16;
    }
    short coordinate() { return short(word()); }
    // A string, or "#n" for an ordinal (0xffff followed by the number).
    std::string nameOrOrdinal() {
        if (WORD first = word(); first == 0xffff) return "#" + std::to_string(word());
        else at_ -= 2;
        std::string text;
        while (WORD c = word()) text += char(c);
        return text;
    }
    void alignToDword() { at_ = (at_ + 3) & ~size_t(3); }
    bool atEnd() const { return at_ >= bytes_.size(); }

private:
    const std::string& bytes_;
    size_t at_ = 0;
};

struct Control {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    std::string kind, text;
};
}  // namespace

TEST(Resources, ConfigDialogTemplate) {
    const std::string bytes = resourceBytes(RT_DIALOG, MAKEINTRESOURCEA(104));
    ASSERT_FALSE(bytes.empty()) << "dialog 104 in English (United States)";
    TemplateReader reader(bytes);
    EXPECT_EQ(reader.dword(), DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(reader.dword(), 0u) << "no extended style";
    const WORD count = reader.word();
    const short x = reader.coordinate(), y = reader.coordinate(), cx = reader.coordinate(), cy = reader.coordinate();
    EXPECT_EQ((std::vector<short>{x, y, cx, cy}), (std::vector<short>{0, 0, 228, 102}));
    EXPECT_EQ(reader.nameOrOrdinal(), "") << "menu";
    EXPECT_EQ(reader.nameOrOrdinal(), "") << "window class";
    EXPECT_EQ(reader.nameOrOrdinal(), "Config dialog");
    EXPECT_EQ(reader.word(), 8);
    EXPECT_EQ(reader.nameOrOrdinal(), "MS Sans Serif");

    const DWORD base = WS_CHILD | WS_VISIBLE;
    const Control expected[] = {
        {base | WS_TABSTOP | BS_DEFPUSHBUTTON, 172, 4, 50, 14, IDOK, "#128", "OK"},
        {base | WS_TABSTOP | BS_PUSHBUTTON, 172, 23, 50, 14, IDCANCEL, "#128", "Cancel"},
        {base | WS_GROUP | SS_LEFT, 7, 78, 100, 8, 0xffff, "#130", ""},
        {base | WS_GROUP | SS_LEFT, 7, 55, 64, 8, 0xffff, "#130", ""},
        {base | WS_GROUP | SS_LEFT, 7, 63, 63, 8, 0xffff, "#130", ""},
        {base | WS_TABSTOP | BS_AUTOCHECKBOX, 9, 14, 52, 10, 1001, "#128", "Use Mirrors"},
        {base | WS_GROUP | SS_LEFT, 7, 34, 36, 8, 0xffff, "#130", "Version 2.0"},
    };
    ASSERT_EQ(count, 7);
    for (const Control& want : expected) {
        reader.alignToDword();
        Control got{};
        got.style = reader.dword();
        EXPECT_EQ(reader.dword(), 0u);
        got.x = reader.coordinate(), got.y = reader.coordinate(), got.cx = reader.coordinate(), got.cy = reader.coordinate();
        got.id = reader.word();
        got.kind = reader.nameOrOrdinal();
        got.text = reader.nameOrOrdinal();
        EXPECT_EQ(reader.word(), 0) << "no creation data";
        const std::string which = "control " + want.text + " " + std::to_string(want.y);
        EXPECT_EQ(got.style, want.style) << which;
        EXPECT_EQ((std::vector<short>{got.x, got.y, got.cx, got.cy}),
                  (std::vector<short>{want.x, want.y, want.cx, want.cy})) << which;
        EXPECT_EQ(got.id, want.id) << which;
        EXPECT_EQ(got.kind, want.kind) << which;
        if (!want.text.empty()) EXPECT_EQ(got.text, want.text) << which;
        else EXPECT_FALSE(got.text.empty()) << which << ": author information";
    }
    reader.alignToDword();
    EXPECT_TRUE(reader.atEnd());
}

TEST(Resources, DescriptionIconImagesAndManifest) {
    char text[64] = {};
    EXPECT_GT(LoadStringA(moduleInstance, 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "Quillon screen saver");
    EXPECT_NE(FindResourceExA(moduleInstance, RT_STRING, MAKEINTRESOURCEA(1), usEnglish), nullptr);

    // The icon group: two 16-colour images, 32 and 16 pixels square.
    const std::string group = resourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEA(1));
    ASSERT_GE(group.size(), 6u + 2 * 14u);
    EXPECT_EQ(group[4], 2);
    for (int i = 0; i < 2; ++i) {
        const unsigned char* entry = reinterpret_cast<const unsigned char*>(group.data()) + 6 + 14 * i;
        EXPECT_EQ(entry[0], i == 0 ? 32 : 16) << "icon " << i;
        EXPECT_EQ(entry[1], entry[0]);
        EXPECT_EQ(entry[2], 16) << "colours";
        EXPECT_EQ(entry[6], 4) << "bits per pixel";
    }

    // The images are JPEG files, and the platform lookup hands out exactly those bytes.
    for (const char* name : {"JPEG_DISCS_MASK", "LOGO_MASK"}) {
        const std::string image = resourceBytes(RT_RCDATA, name);
        ASSERT_GT(image.size(), 4u) << name;
        EXPECT_EQ(image.substr(0, 2), "\xff\xd8") << name;
        platform::ResourceData found;
        ASSERT_TRUE(platform::findImageResource(name, found));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(found.bytes), found.size), image);
    }
    platform::ResourceData missing;
    EXPECT_FALSE(platform::findImageResource("NO_SUCH_MASK", missing));

    const std::string manifest = resourceBytes(RT_MANIFEST, MAKEINTRESOURCEA(1));
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
    // The system reads it at start: the process is DPI aware without calling anything.
    EXPECT_TRUE(IsProcessDPIAware());
}

namespace {
class ConfigDialog : public testing::Test {
protected:
    void SetUp() override {
        if (!test::underWine()) GTEST_SKIP() << "rewrites the user's screen-saver settings; Wine only";
        test::deleteKey(test::saverKey);
        currentContext = &context;
    }
    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
        test::pumpMessages();
        test::deleteKey(test::saverKey);
        currentContext = nullptr;
    }
    HWND open(uint32_t useMirrors) {
        if (dialog) DestroyWindow(dialog);
        context.useMirrors = useMirrors;
        dialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(104), nullptr, configDialogProc, 0);
        return dialog;
    }
    SaverContext context;
    HWND dialog = nullptr;
};
}  // namespace

TEST_F(ConfigDialog, BoxShowsTheSettingAndOkStoresIt) {
    ASSERT_NE(open(1), nullptr);
    char caption[32] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, "Config dialog");
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1001), UINT(BST_CHECKED));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK)) << "the first tab stop has the focus";
    EXPECT_EQ(open(0) ? IsDlgButtonChecked(dialog, 1001) : 99u, UINT(BST_UNCHECKED));
    EXPECT_EQ(open(2) ? IsDlgButtonChecked(dialog, 1001) : 99u, UINT(BST_CHECKED));

    // A click toggles the automatic box; OK stores what it shows as a REG_DWORD, creating the key.
    SendDlgItemMessageA(dialog, 1001, BM_CLICK, 0, 0);
    test::pumpMessages();
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1001), UINT(BST_UNCHECKED));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    test::StoredValue stored = test::readValue(test::saverKey, "UseMirrors");
    ASSERT_TRUE(stored.found);
    EXPECT_EQ(stored.type, DWORD(REG_DWORD));
    EXPECT_EQ(stored.data, (std::vector<BYTE>{0, 0, 0, 0}));

    open(0);
    SendDlgItemMessageA(dialog, 1001, BM_CLICK, 0, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(test::readValue(test::saverKey, "UseMirrors").data, (std::vector<BYTE>{1, 0, 0, 0}));
}

TEST_F(ConfigDialog, CancelLeavesTheRegistryUntouched) {
    open(1);
    SendDlgItemMessageA(dialog, 1001, BM_CLICK, 0, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(test::keyExists(test::saverKey));

    test::setValue(test::saverKey, "UseMirrors", REG_BINARY, {7, 0, 0, 0});
    open(7);
    SendMessageA(dialog, WM_CLOSE, 0, 0);  // the caption's close button: IDCANCEL
    test::pumpMessages();
    const test::StoredValue stored = test::readValue(test::saverKey, "UseMirrors");
    EXPECT_EQ(stored.type, DWORD(REG_BINARY));
    EXPECT_EQ(stored.data, (std::vector<BYTE>{7, 0, 0, 0}));
}
