// The X11 host's settings files: values read as the registry holds them, defaults for missing or damaged
// files, which are left alone, and storing that replaces the file whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "host/saver_context.h"

namespace {

namespace fs = std::filesystem;
const std::string saverKey = "[Software\\Ostrel\\Lanthorn Saver]\n";
const std::string systemKey = "[Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n";
const std::string storedOff = "; Quillon screen saver settings\n" + saverKey + "\"UseMirrors\"=dword:00000000\n";

std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::set<fs::path> entriesOf(const std::string& dir) { return {fs::directory_iterator(dir), {}}; }

SaverContext loaded() {
    SaverContext context;
    context.loadSystemSettings();
    context.loadSaverSettings();
    return context;
}

void store(uint32_t useMirrors) {
    SaverContext context;
    context.useMirrors = useMirrors;
    context.storeSaverSettings();
}

// Each test has its own XDG_CONFIG_HOME in a fresh temporary directory.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1); }
    void TearDown() override { fs::remove_all(root); }

    const std::string root = mkdtemp(&std::string("/tmp/quillon-settings-XXXXXX")[0]);
    const std::string dir = root + "/config/quillon", saverFile = dir + "/settings",
                      systemFile = dir + "/system-settings";
};

TEST_F(SettingsStore, ValuesAreReadAsTheRegistryHoldsThemAndDamagedFilesGiveTheDefaultsAndStayAsTheyAre) {
    EXPECT_EQ(loaded().useMirrors, 1u);
    EXPECT_FALSE(fs::exists(root + "/config")) << "reading created files";
    fs::create_directories(dir);
    struct {
        std::string saver, system;
        uint32_t useMirrors, passwordDelay;
        int32_t mouseThreshold;
    } const cases[] = {
        // Bytes little-endian and zero-widened, names and keys in any case, the last occurrence wins.
        {saverKey + "\"usemirrors\"=hex:00,01,00,00\n", "[software\\microsoft\\windows\\currentversion\\SCREEN savers]\n"
         "\"Password Delay\"=hex:02,01\n\"Mouse Threshold\"=dword:00000001\n\"MOUSE threshold\"=dword:ffffffff\n",
         0x100, 0x102, -1},
        // More than four bytes, not hex, another key, binary data, too long to be ours: the defaults.
        {saverKey + "\"UseMirrors\"=hex:00,00,00,00,00\n", systemKey + "\"Password Delay\"=dword:0000000g\n", 1, 15, 50},
        {"[Software\\Ostrel\\Other]\n\"UseMirrors\"=dword:00000000\n",
         systemKey + "\"Mouse Threshold\"=dword:00000001\n" + '\0', 1, 15, 50},
        {saverKey + "\"UseMirrors\"=dword:00000000\n" + std::string(70000, ';'), "", 1, 15, 50},
    };
    for (const auto& c : cases) {
        std::ofstream(saverFile, std::ios::binary) << c.saver;
        std::ofstream(systemFile, std::ios::binary) << c.system;
        const SaverContext context = loaded();
        EXPECT_EQ(context.useMirrors, c.useMirrors) << c.saver.substr(0, 80);
        EXPECT_EQ(context.passwordDelay, c.passwordDelay) << c.system;
        EXPECT_EQ(context.mouseThreshold, c.mouseThreshold) << c.system;
        EXPECT_EQ(readText(saverFile) + readText(systemFile), c.saver + c.system);
    }
    fs::remove(saverFile);
    fs::create_directory(saverFile);  // unreadable as a file
    EXPECT_EQ(loaded().useMirrors, 1u);
}

TEST_F(SettingsStore, StoringReplacesTheFileAtomicallyWithOnlyUseMirrorsAsA32BitDword) {
    for (uint32_t value : {0u, 2u, 0xFFFFFFFFu}) {
        store(value);
        EXPECT_EQ(loaded().useMirrors, value);
    }
    EXPECT_EQ(fs::status(dir).permissions(), fs::perms::owner_all);

    // The system's file is never written, a stray value is not kept, and the old file is left whole.
    std::ofstream(systemFile) << systemKey;
    std::ofstream(saverFile) << saverKey << "\"Stray\"=dword:00000009\n";
    fs::create_hard_link(saverFile, root + "/old");
    store(0);
    EXPECT_EQ(readText(systemFile), systemKey);
    EXPECT_EQ(readText(saverFile), storedOff);
    EXPECT_EQ(readText(root + "/old"), saverKey + "\"Stray\"=dword:00000009\n") << "rewritten in place";
    EXPECT_EQ(entriesOf(dir), (std::set<fs::path>{saverFile, systemFile}));

    // When the rename cannot happen the temporary goes and what was there stays.
    fs::remove(saverFile);
    fs::create_directories(saverFile + "/keep");
    store(1);
    EXPECT_EQ(entriesOf(dir), (std::set<fs::path>{saverFile, systemFile}));
    EXPECT_EQ(entriesOf(saverFile), std::set<fs::path>{saverFile + "/keep"});

    // Without an absolute XDG_CONFIG_HOME the file is under $HOME/.config.
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    store(0);
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(readText(root + "/.config/quillon/settings"), storedOff);
}

}  // namespace
