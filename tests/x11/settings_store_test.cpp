// The X11 host's settings files: defaults for missing or damaged ones, what storing writes and how, where.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "host/saver_context.h"
#include "host/x11/settings_file.h"

namespace {

namespace fs = std::filesystem;
const std::string saverKey = "[Software\\Ostrel\\Lanthorn Saver]\n";
const std::string stored = "; Quillon screen saver settings\n" + saverKey + "\"UseMirrors\"=dword:";

std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::set<fs::path> entriesOf(const std::string& dir) {
    return std::set<fs::path>(fs::directory_iterator(dir), fs::directory_iterator());
}

SaverContext loaded() {
    SaverContext context;
    context.loadSystemSettings();
    context.loadSaverSettings();
    return context;
}

void store(uint32_t useMirrors) {
    SaverContext context = loaded();
    context.useMirrors = useMirrors;
    context.storeSaverSettings();
}

// Each test gets its own XDG_CONFIG_HOME in a fresh temporary directory; every store goes there.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(made);
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(root); }

    std::string root = "/tmp/quillon-settings-XXXXXX";
    const bool made = mkdtemp(&root[0]) != nullptr;  // fills in the name before the paths below use it
    const std::string dir = root + "/config/quillon";
    const std::string saverFile = dir + "/settings";
    const std::string systemFile = dir + "/system-settings";
};

TEST_F(SettingsStore, MissingDamagedOrUnreadableFilesGiveDefaultsAndAreLeftAlone) {
    EXPECT_EQ(loaded().useMirrors, 1u);
    fs::create_directories(dir);
    const std::string cases[] = {
        saverKey + "\"UseMirrors\"=dword:00000000\n" + '\0' + "junk",            // binary data
        saverKey + "\"UseMirrors\"=dword:0000000g\n",                            // not hex
        saverKey + "\"UseMirrors\"=hex:00,00,00,00,00\n",                        // longer than 32 bits
        "[Software\\Ostrel\\Other]\n\"UseMirrors\"=dword:00000000\n",            // another key
        saverKey + "\"UseMirrors\"=dword:00000000\n" + std::string(70000, ';'),  // too long to be ours
    };
    for (const std::string& text : cases) {
        std::ofstream(saverFile, std::ios::binary) << text;
        EXPECT_EQ(loaded().useMirrors, 1u) << text.substr(0, 80);
        EXPECT_EQ(readText(saverFile), text);
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
    const std::string system = "; left as written\n[Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n"
                               "\"Password Delay\"=dword:0000001e\n\"Mouse Threshold\"=dword:00000005\n";
    std::ofstream(systemFile) << system;
    std::ofstream(saverFile) << saverKey << "\"Stray\"=dword:00000009\n";
    fs::create_hard_link(saverFile, root + "/old");
    store(0);
    EXPECT_EQ(readText(systemFile), system);
    EXPECT_EQ(readText(saverFile), stored + "00000000\n");
    EXPECT_EQ(readText(root + "/old"), saverKey + "\"Stray\"=dword:00000009\n") << "rewritten in place";
    EXPECT_EQ(entriesOf(dir), (std::set<fs::path>{saverFile, systemFile}));

    // When the rename cannot happen the temporary goes and what was there stays.
    fs::remove(saverFile);
    fs::create_directories(saverFile + "/keep");
    store(1);
    EXPECT_EQ(entriesOf(dir), (std::set<fs::path>{saverFile, systemFile}));
    EXPECT_EQ(entriesOf(saverFile), std::set<fs::path>{saverFile + "/keep"});
}

TEST_F(SettingsStore, WithoutAnAbsoluteXdgConfigHomeTheFileIsUnderHomeConfig) {
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    store(0);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(loaded().useMirrors, 0u);
    EXPECT_EQ(entriesOf(root + "/.config/quillon"), std::set<fs::path>{root + "/.config/quillon/settings"});
    setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
