// The executable's resources as compiled by windres, read back from the module: the description,
// the icon, the two JPEG images through the platform lookup, and the DPI-aware manifest.
#include <gtest/gtest.h>

#include <windows.h>

#include "host/win32/win32_host.h"
#include "platform/platform.h"

TEST(Resources, DescriptionIconImagesAndDpiAwareness) {
    char text[64] = {};
    LoadStringA(moduleInstance, 1, text, sizeof text);
    EXPECT_STREQ(text, "Quillon screen saver");
    EXPECT_NE(LoadIconA(moduleInstance, MAKEINTRESOURCEA(1)), nullptr);

    for (const char* name : {"JPEG_DISCS_MASK", "LOGO_MASK"}) {
        platform::ResourceData found;
        ASSERT_TRUE(platform::findImageResource(name, found)) << name;
        ASSERT_GT(found.size, 2u);
        EXPECT_EQ(found.bytes[0] << 8 | found.bytes[1], 0xffd8) << name << " starts as a JPEG file";
    }
    platform::ResourceData missing;
    EXPECT_FALSE(platform::findImageResource("NO_SUCH_MASK", missing));

    // The system reads the manifest at start: the process is DPI aware without calling anything.
    EXPECT_TRUE(IsProcessDPIAware());
}
