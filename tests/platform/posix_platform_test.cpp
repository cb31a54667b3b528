// The POSIX platform services: a steady nanosecond counter, calendar time, both images embedded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/platform.h"

TEST(PosixPlatform, CounterCalendarAndImagesByExactName) {
    EXPECT_EQ(platform::counterFrequency(), 1000000000);
    const int64_t first = platform::counterNow();
    EXPECT_GT(first, 0);
    EXPECT_GE(platform::counterNow(), first);
    EXPECT_LE(std::llabs(platform::calendarSeconds() - int64_t(std::time(nullptr))), 1);

    platform::ResourceData data;
    for (const char* name : {"JPEG_DISCS_MASK", "LOGO_MASK"}) {
        ASSERT_TRUE(platform::findImageResource(name, data)) << name;
        ASSERT_GT(data.size, 4u);
        EXPECT_TRUE(data.bytes[0] == 0xFF && data.bytes[1] == 0xD8) << name;  // a JPEG starts with SOI
    }
    EXPECT_FALSE(platform::findImageResource("jpeg_discs_mask", data));
}
