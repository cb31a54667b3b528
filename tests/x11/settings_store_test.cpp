// The X11 host's settings files: values read as the registry holds them, defaults for missing or damaged
// files, which are left alone, and storing that replaces the file whole.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "host/saver_context.h"
#include "host/x11/settings_file.h"

namespace {

namespace fs = std::filesystem;
const std::string saverKey = "[Software\\Ostrel\\Lanthorn Saver]\n";
const std::string storedOff = "; Quillon screen saver settings\n" + saverKey + "\"UseMirrors\"=dword:00000000\n";

std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

long entriesIn(const std::string& dir) { return std::distance(fs::directory_iterator(dir), {}); }

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
    const std::string dir = root + "/config/quillon", saverFile = dir + "/settings";
};

TEST_F(SettingsStore, ValuesAreReadAsTheRegistryHoldsThemAndDamagedFilesGiveTheDefaultsAndStayAsTheyAre) {
    EXPECT_EQ(loaded().passwordDelay, 15u);  // the other defaults show end to end
    fs::create_directories(dir);
    std::ofstream(dir + "/system-settings") << "[software\\microsoft\\windows\\currentversion\\SCREEN savers]\n"
                                               "\"Password Delay\"=hex:02,01\n\"mouse threshold\"=dword:ffffffff\n"
                                               "\"Mute Sound\"=dword:0000000D\n";
    EXPECT_EQ(loaded().passwordDelay, 0x102u) << "bytes little-endian and zero-widened, any case";
    EXPECT_EQ(loaded().mouseThreshold, -1);
    EXPECT_EQ(loaded().muteSound, 13u) << "upper-case hex digits";
    const std::pair<std::string, uint32_t> cases[] = {
        {saverKey + "\"UseMirrors\"=dword:00000000\n\"usemirrors\"=hex:00,01,00,00\n", 0x100},  // the last one
        {saverKey + "\"UseMirrors\"=hex:00,00,00,00,00\n", 1},                        // more than four bytes
        {saverKey + "\"UseMirrors\"=dword:0000000g\n", 1},                            // not hex
        {saverKey + "\"UseMirrors\"=dword:0\n", 1},                                   // not eight digits
        {"[HKEY_CURRENT_USER\\Software\\Ostrel\\Lanthorn Saver]\n\"UseMirrors\"=dword:00000000\n", 0},  // rooted
        {"[Software\\Ostrel\\Other]\n\"UseMirrors\"=dword:00000000\n", 1},            // another key
        {saverKey + "\"UseMirrors\"=dword:00000000\n" + '\0', 1},                     // binary
        {saverKey + "\"UseMirrors\"=dword:00000000\n" + std::string(70000, ';'), 1},  // too long to be ours
    };
    for (const auto& [text, useMirrors] : cases) {
        std::ofstream(saverFile, std::ios::binary) << text;
        EXPECT_EQ(loaded().useMirrors, useMirrors) << text.substr(0, 80);
        EXPECT_EQ(readText(saverFile), text);
    }
}

// Only a regular file is read, and never waited for: a fifo without a writer would block an ordinary open
// for ever. Links to a regular file count. Without $XDG_CONFIG_HOME and $HOME the user's home from the
// password database is used.
TEST_F(SettingsStore, AnythingButARegularFileReadsAsMissingWithoutWaiting) {
    fs::create_directories(dir);
    const std::string off = root + "/off";
    std::ofstream(off) << storedOff;
    const bool asRoot = geteuid() == 0;  // permissions do not stop root
    const struct { const char* what; std::function<void()> make; uint32_t useMirrors; } cases[] = {
        {"fifo", [&] { mkfifo(saverFile.c_str(), 0600); }, 1},
        {"directory", [&] { fs::create_directory(saverFile); }, 1},
        {"dangling link", [&] { fs::create_symlink(dir + "/nowhere", saverFile); }, 1},
        {"device", [&] { fs::create_symlink("/dev/zero", saverFile); }, 1},
        {"link to a file", [&] { fs::create_symlink(off, saverFile); }, 0},
        {"unreadable", [&] { fs::copy_file(off, saverFile), fs::permissions(saverFile, fs::perms::none); }, asRoot ? 0u : 1u},
    };
    for (const auto& c : cases) {
        fs::remove_all(saverFile);
        c.make();
        EXPECT_EQ(loaded().useMirrors, c.useMirrors) << c.what;
    }
    const std::string home = std::getenv("HOME");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(settings_file::directory(), std::string(getpwuid(getuid())->pw_dir) + "/.config/quillon");
    setenv("HOME", home.c_str(), 1);
}

TEST_F(SettingsStore, StoringReplacesTheFileAtomicallyWithOnlyUseMirrorsAsA32BitDword) {
    store(0xFFFFFFFFu);
    EXPECT_EQ(loaded().useMirrors, 0xFFFFFFFFu);
    EXPECT_EQ(fs::status(dir).permissions(), fs::perms::owner_all);

    // A stray value is not kept, and the old file is left whole: a new one is renamed into its place.
    std::ofstream(saverFile) << saverKey << "\"Stray\"=dword:00000009\n";
    fs::create_hard_link(saverFile, root + "/old");
    store(0);
    EXPECT_EQ(readText(saverFile), storedOff);
    EXPECT_EQ(readText(root + "/old"), saverKey + "\"Stray\"=dword:00000009\n") << "rewritten in place";
    EXPECT_EQ(entriesIn(dir), 1) << "a temporary file was left";

    // When the rename cannot happen the temporary goes and what was there stays.
    fs::remove(saverFile);
    fs::create_directories(saverFile + "/keep");
    store(1);
    EXPECT_EQ(entriesIn(dir) + entriesIn(saverFile), 2);
}

}  // namespace
