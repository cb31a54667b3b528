// The POSIX platform services: a steady nanosecond counter, calendar time, both images embedded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/platform.h"

TEST(PosixPlatform, CounterIsMonotonicNanoseconds) {
    EXPECT_EQ(platform::counterFrequency(), 1000000000);
    const int64_t first = platform::counterNow();
    const int64_t second = platform::counterNow();
    EXPECT_GT(first, 0);
    EXPECT_GE(second, first);
    const int64_t now = int64_t(std::time(nullptr));
    EXPECT_LE(std::llabs(platform::calendarSeconds() - now), 1);
}

TEST(PosixPlatform, FindsBothImagesByNameOnly) {
    platform::ResourceData data;
    for (const char* name : {"JPEG_DISCS_MASK", "LOGO_MASK"}) {
        ASSERT_TRUE(platform::findImageResource(name, data)) << name;
        ASSERT_GT(data.size, 4u);
        EXPECT_EQ(data.bytes[0], 0xFF);  // a JPEG starts with SOI
        EXPECT_EQ(data.bytes[1], 0xD8);
    }
    EXPECT_FALSE(platform::findImageResource("jpeg_discs_mask", data));
    EXPECT_FALSE(platform::findImageResource("", data));
}
