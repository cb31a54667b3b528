// The executable's resources as compiled by windres, read back from the module: the description,
// the icon group, the two JPEG images through the platform lookup, and the DPI-aware manifest.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "host/win32/win32_host.h"
#include "platform/platform.h"

namespace {
std::string resourceBytes(LPCSTR type, LPCSTR name) {
    HRSRC info = FindResourceExA(moduleInstance, type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!info) return {};
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(moduleInstance, info)));
    return std::string(bytes, SizeofResource(moduleInstance, info));
}
}  // namespace

TEST(Resources, DescriptionIconImagesAndDpiAwareness) {
    char text[64] = {};
    LoadStringA(moduleInstance, 1, text, sizeof text);
    EXPECT_STREQ(text, "Quillon screen saver");

    // The icon group's image count, then the width of each of its two entries.
    const std::string group = resourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEA(1));
    ASSERT_GE(group.size(), 6u + 2 * 14u);
    EXPECT_EQ((std::string{group[4], group[6], group[20]}), (std::string{2, 32, 16}));

    // The images are JPEG files, and the platform lookup hands out exactly those bytes.
    for (const char* name : {"JPEG_DISCS_MASK", "LOGO_MASK"}) {
        const std::string image = resourceBytes(RT_RCDATA, name);
        EXPECT_EQ(image.substr(0, 2), "\xff\xd8") << name;
        platform::ResourceData found;
        ASSERT_TRUE(platform::findImageResource(name, found)) << name;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(found.bytes), found.size), image);
    }
    platform::ResourceData missing;
    EXPECT_FALSE(platform::findImageResource("NO_SUCH_MASK", missing));

    // The system reads the manifest at start: the process is DPI aware without calling anything.
    EXPECT_TRUE(IsProcessDPIAware());
}
