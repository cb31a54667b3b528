// The X11 host's settings files: defaults for missing or damaged ones, what storing writes and how, where.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host/saver_context.h"
#include "host/x11/settings_file.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
const std::string saverKey = "[Software\\Ostrel\\Lanthorn Saver]\n";

std::string readText(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

std::set<std::string> entriesOf(const std::string& dir) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
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
        char pattern[] = "/tmp/quillon-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        dir = root + "/config/quillon";
        saverFile = dir + "/settings";
        systemFile = dir + "/system-settings";
    }
    void TearDown() override { fs::remove_all(root); }

    std::string root, dir, saverFile, systemFile;
};

TEST_F(SettingsStore, MissingDamagedOrUnreadableFilesGiveDefaultsAndAreLeftAlone) {
    EXPECT_EQ(loaded().useMirrors, 1u);
    EXPECT_TRUE(fs::is_empty(root)) << "reading created something";
    fs::create_directories(dir);
    const std::string cases[] = {
        saverKey + "\"UseMirrors\"=dword:00000000\n\0junk"s,                     // binary data
        saverKey + "\"UseMirrors\"=dword:0000000g\n",                            // not hex
        saverKey + "\"UseMirrors\"=hex:00,00,00,00,00\n",                        // longer than 32 bits
        "[Software\\Ostrel\\Other]\n\"UseMirrors\"=dword:00000000\n",            // another key
        saverKey + "\"UseMirrors\"=dword:00000000\n" + std::string(70000, ';'),  // too long to be ours
    };
    for (const std::string& text : cases) {
        std::ofstream(saverFile, std::ios::binary) << text;
        std::ofstream(systemFile, std::ios::binary) << text;
        const SaverContext context = loaded();
        EXPECT_EQ(context.useMirrors, 1u) << text.substr(0, 80);
        EXPECT_EQ(context.mouseThreshold, 50);
        EXPECT_EQ(readText(saverFile), text);
        EXPECT_EQ(readText(systemFile), text);
    }
    fs::remove(saverFile);
    fs::create_directory(saverFile);  // unreadable as a file
    EXPECT_EQ(loaded().useMirrors, 1u);
}

TEST_F(SettingsStore, StoringWritesOnlyUseMirrorsAsA32BitDwordInAPrivateDirectory) {
    for (uint32_t value : {0u, 2u, 0xFFFFFFFFu}) {
        store(value);
        EXPECT_EQ(loaded().useMirrors, value);
    }
    std::string text = readText(saverFile);
    EXPECT_EQ(text.substr(text.find('[')), saverKey + "\"UseMirrors\"=dword:ffffffff\n");
    EXPECT_EQ(fs::status(dir).permissions(), fs::perms::owner_all);

    const std::string system = "[Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n"
                               "\"Password Delay\"=dword:0000001e\n\"Mouse Threshold\"=dword:00000005\n";
    std::ofstream(systemFile) << system;
    std::ofstream(saverFile) << saverKey << "\"Stray\"=dword:00000009\n";
    SaverContext context = loaded();
    context.passwordDelay = 99;
    context.mouseThreshold = 99;
    context.useMirrors = 0;
    context.storeSaverSettings();
    EXPECT_EQ(readText(systemFile), system);
    text = readText(saverFile);
    EXPECT_EQ(text.substr(text.find('[')), saverKey + "\"UseMirrors\"=dword:00000000\n");
}

TEST_F(SettingsStore, ReplacementIsAtomicAndAFailedOneLeavesNoTrace) {
    struct stat before, after;
    store(0);
    ASSERT_EQ(stat(saverFile.c_str(), &before), 0);
    store(5);
    ASSERT_EQ(stat(saverFile.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);  // a whole new file renamed into place, never rewritten in place
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"settings"});

    // When the rename cannot happen the temporary goes and what was there stays.
    fs::remove(saverFile);
    fs::create_directories(saverFile + "/keep");
    store(0);
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"settings"});
    EXPECT_EQ(entriesOf(saverFile), std::set<std::string>{"keep"});
}

TEST_F(SettingsStore, WithoutAnAbsoluteXdgConfigHomeTheFileIsUnderHomeConfig) {
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    store(0);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(loaded().useMirrors, 0u);
    EXPECT_EQ(entriesOf(root + "/.config/quillon"), std::set<std::string>{"settings"});
    setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
