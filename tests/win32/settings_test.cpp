// SaverContext's registry settings against Wine's real registry: defaults, value widths and types,
// reading without creating, storing as REG_DWORD.
#include <gtest/gtest.h>

#include "host/saver_context.h"
#include "tests/win32/test_support.h"

namespace {
class Settings : public testing::Test {
protected:
    void SetUp() override {
        if (!test::underWine()) GTEST_SKIP() << "rewrites the user's screen-saver settings; Wine only";
        test::deleteKey(test::systemKey);
        test::deleteKey(test::saverKey);
    }
    void TearDown() override {
        test::deleteKey(test::systemKey);
        test::deleteKey(test::saverKey);
    }

    SaverContext loaded() {
        SaverContext context;
        context.passwordDelay = 99;
        context.mouseThreshold = 99;
        context.checkingPassword = 1;
        context.useMirrors = 99;
        context.loadSystemSettings();
        context.loadSaverSettings();
        return context;
    }
};
}  // namespace

TEST_F(Settings, DefaultsWithoutEntriesAndReadingCreatesNothing) {
    SaverContext context = loaded();
    EXPECT_EQ(context.passwordDelay, 15u);
    EXPECT_EQ(context.mouseThreshold, 50);
    EXPECT_EQ(context.checkingPassword, 0u);
    EXPECT_EQ(context.useMirrors, 1u);
    EXPECT_FALSE(test::keyExists(test::saverKey));

    // An existing but empty key keeps the defaults too.
    test::setDword(test::systemKey, "Unrelated", 7);
    test::setDword(test::saverKey, "Unrelated", 7);
    context = loaded();
    EXPECT_EQ(context.passwordDelay, 15u);
    EXPECT_EQ(context.mouseThreshold, 50);
    EXPECT_EQ(context.useMirrors, 1u);
}

TEST_F(Settings, FourBytesOfAnyTypeAreTakenLittleEndian) {
    test::setDword(test::systemKey, "Password Delay", 3);
    test::setValue(test::systemKey, "Mouse Threshold", REG_BINARY, {0x2c, 0x01, 0x00, 0x00});
    test::setValue(test::systemKey, "Mute Sound", REG_BINARY, {0x01, 0x00, 0x00, 0x00});
    test::setValue(test::saverKey, "UseMirrors", REG_BINARY, {0x02, 0x00, 0x00, 0x00});
    SaverContext context = loaded();
    EXPECT_EQ(context.passwordDelay, 3u);
    EXPECT_EQ(context.mouseThreshold, 300);
    EXPECT_EQ(context.muteSound, 1u);
    EXPECT_EQ(context.useMirrors, 2u);

    test::setValue(test::systemKey, "Mouse Threshold", REG_BINARY, {0xff, 0xff, 0xff, 0xff});
    test::setDword(test::saverKey, "UseMirrors", 0);
    context = loaded();
    EXPECT_EQ(context.mouseThreshold, -1);
    EXPECT_EQ(context.useMirrors, 0u);
}

TEST_F(Settings, LongValuesAreIgnoredAndShortOnesZeroExtended) {
    test::setValue(test::systemKey, "Password Delay", REG_BINARY, {5, 0, 0, 0, 0, 0, 0, 0});
    test::setValue(test::systemKey, "Mouse Threshold", REG_QWORD, {7, 0, 0, 0, 0, 0, 0, 0});
    test::setValue(test::systemKey, "Mute Sound", REG_BINARY, {0x44, 0x33, 0x22, 0x11});
    test::setValue(test::saverKey, "UseMirrors", REG_BINARY, {0, 0, 0, 0, 0});
    SaverContext context = loaded();
    EXPECT_EQ(context.passwordDelay, 15u);
    EXPECT_EQ(context.mouseThreshold, 50);
    EXPECT_EQ(context.muteSound, 0x11223344u);
    EXPECT_EQ(context.useMirrors, 1u);

    // A one-byte value after a four-byte one in the shared buffer takes nothing from its predecessor.
    test::setValue(test::systemKey, "Password Delay", REG_BINARY, {0x44, 0x33, 0x22, 0x11});
    test::setValue(test::systemKey, "Mouse Threshold", REG_BINARY, {0x05});
    context = loaded();
    EXPECT_EQ(context.passwordDelay, 0x11223344u);
    EXPECT_EQ(context.mouseThreshold, 5);
}

TEST_F(Settings, StoringCreatesTheKeyAndWritesDword) {
    SaverContext context = loaded();
    context.useMirrors = 0;
    context.storeSaverSettings();
    test::StoredValue stored = test::readValue(test::saverKey, "UseMirrors");
    ASSERT_TRUE(stored.found);
    EXPECT_EQ(stored.type, DWORD(REG_DWORD));
    EXPECT_EQ(stored.data, (std::vector<BYTE>{0, 0, 0, 0}));

    // Whatever type the value had before, it is a REG_DWORD afterwards; the system values stay unwritten.
    test::setValue(test::saverKey, "UseMirrors", REG_SZ, {'1', 0});
    context.useMirrors = 0x01020304;
    context.storeSaverSettings();
    stored = test::readValue(test::saverKey, "UseMirrors");
    EXPECT_EQ(stored.type, DWORD(REG_DWORD));
    EXPECT_EQ(stored.data, (std::vector<BYTE>{4, 3, 2, 1}));
    EXPECT_FALSE(test::keyExists(test::systemKey));
    EXPECT_EQ(loaded().useMirrors, 0x01020304u);
}
