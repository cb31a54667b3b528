// The X11 host's file-backed settings: defaults, damaged files, storing, atomic replacement, locations.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host/saver_context.h"
#include "host/x11/settings_file.h"

namespace {

std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> entriesOf(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* handle = opendir(dir.c_str())) {
        while (const dirent* entry = readdir(handle))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.insert(entry->d_name);
        closedir(handle);
    }
    return names;
}

// Each test gets its own XDG_CONFIG_HOME in a fresh temporary directory.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillon-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        dir = root + "/config/quillon";
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }

    void makeDir() { ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0); }
    std::string saverFile() const { return dir + "/settings"; }
    std::string systemFile() const { return dir + "/system-settings"; }

    static SaverContext loaded() {
        SaverContext context;
        context.loadSystemSettings();
        context.loadSaverSettings();
        return context;
    }

    std::string root, dir;
};

TEST_F(SettingsStore, DefaultsWithoutAFileOrWithADamagedOneWhichIsLeftAlone) {
    SaverContext context = loaded();
    EXPECT_EQ(context.passwordDelay, 15u);
    EXPECT_EQ(context.mouseThreshold, 50);
    EXPECT_EQ(context.useMirrors, 1u);
    EXPECT_TRUE(entriesOf(root).empty()) << "reading created something";

    makeDir();
    const std::string key = "[Software\\Ostrel\\Lanthorn Saver]\n";
    const std::string cases[] = {
        std::string("\"UseMirrors\"=dword:00000000\0junk", 32),  // binary data
        key + "\"UseMirrors\"=dword:0000000g\n",                  // not hex
        key + "\"UseMirrors\"=hex:00,00,00,00,00\n",              // longer than 32 bits
        "[Software\\Ostrel\\Other]\n\"UseMirrors\"=dword:00000000\n",  // another key
        key + "\"UseMirrors\"=dword:00000000\n" + std::string(70000, ';'),  // too long
    };
    for (const std::string& text : cases) {
        writeText(saverFile(), text);
        writeText(systemFile(), text);
        context = loaded();
        EXPECT_EQ(context.useMirrors, 1u) << text.substr(0, 80);
        EXPECT_EQ(context.mouseThreshold, 50);
        EXPECT_EQ(readText(saverFile()), text);
        EXPECT_EQ(readText(systemFile()), text);
    }
    ASSERT_EQ(unlink(saverFile().c_str()), 0);  // a directory where the file should be
    ASSERT_EQ(mkdir(saverFile().c_str(), 0700), 0);
    EXPECT_EQ(loaded().useMirrors, 1u);
}

TEST_F(SettingsStore, StoredValueReadsBackAsA32BitDword) {
    for (uint32_t value : {0u, 2u, 1u, 0xFFFFFFFFu}) {
        SaverContext context = loaded();
        context.useMirrors = value;
        context.storeSaverSettings();
        EXPECT_EQ(loaded().useMirrors, value);
    }
    char line[64];
    std::snprintf(line, sizeof line, "\"UseMirrors\"=dword:%08x\n", 0xFFFFFFFFu);
    EXPECT_NE(readText(saverFile()).find("[Software\\Ostrel\\Lanthorn Saver]\n"), std::string::npos);
    EXPECT_NE(readText(saverFile()).find(line), std::string::npos);
    struct stat info;
    ASSERT_EQ(stat(dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(SettingsStore, OnlyUseMirrorsIsEverWritten) {
    makeDir();
    const std::string system =
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n"
        "\"Password Delay\"=dword:0000001e\n\"Mouse Threshold\"=dword:00000005\n\"Mute Sound\"=dword:00000001\n";
    writeText(systemFile(), system);
    writeText(saverFile(), "[Software\\Ostrel\\Lanthorn Saver]\n\"UseMirrors\"=dword:00000001\n"
                           "\"Stray\"=dword:00000009\n");
    SaverContext context = loaded();
    EXPECT_EQ(context.passwordDelay, 30u);
    EXPECT_EQ(context.mouseThreshold, 5);
    EXPECT_EQ(context.muteSound, 1u);
    context.passwordDelay = 99;
    context.mouseThreshold = 99;
    context.useMirrors = 0;
    context.storeSaverSettings();

    EXPECT_EQ(readText(systemFile()), system);
    std::istringstream lines(readText(saverFile()));
    int valueLines = 0;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] == '"') {
            ++valueLines;
            EXPECT_EQ(line, "\"UseMirrors\"=dword:00000000");
        }
    EXPECT_EQ(valueLines, 1);
    EXPECT_EQ(entriesOf(dir), (std::set<std::string>{"settings", "system-settings"}));
}

TEST_F(SettingsStore, ReplacementIsAtomicAndAFailedOneLeavesNoTrace) {
    SaverContext context = loaded();
    context.useMirrors = 0;
    context.storeSaverSettings();
    struct stat before;
    ASSERT_EQ(stat(saverFile().c_str(), &before), 0);
    std::ifstream heldOpen(saverFile());  // a reader that opened the old file keeps all of it

    context.useMirrors = 5;
    context.storeSaverSettings();
    struct stat after;
    ASSERT_EQ(stat(saverFile().c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed into place, not rewritten in place
    std::stringstream old;
    old << heldOpen.rdbuf();
    EXPECT_NE(old.str().find("dword:00000000"), std::string::npos);
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"settings"});

    // When the rename cannot happen the temporary goes and what was there stays.
    ASSERT_EQ(unlink(saverFile().c_str()), 0);
    ASSERT_EQ(mkdir(saverFile().c_str(), 0700), 0);
    writeText(saverFile() + "/keep", "x");
    context.storeSaverSettings();
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"settings"});
    EXPECT_EQ(entriesOf(saverFile()), std::set<std::string>{"keep"});
}

TEST_F(SettingsStore, LocationFollowsXdgConfigHomeElseHome) {
    EXPECT_EQ(settings_file::saverSettingsPath(), dir + "/settings");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(settings_file::directory(), root + "/.config/quillon");
    unsetenv("XDG_CONFIG_HOME");
    SaverContext context = loaded();
    context.useMirrors = 0;
    context.storeSaverSettings();
    EXPECT_NE(readText(root + "/.config/quillon/settings").find("\"UseMirrors\"=dword:00000000"), std::string::npos);
    EXPECT_EQ(loaded().useMirrors, 0u);
    setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
