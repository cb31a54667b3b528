// Fuzz target: any bytes left in the X11 host's settings file, or (built with FUZZ_SYSTEM_SETTINGS) in its
// system-settings file, read by SaverContext's loaders. Every value read is its default or a 32-bit integer
// that the bytes store; with a good entry appended, that entry wins unless the file as a whole is refused.
#include <cctype>
#include <filesystem>
#include <fstream>

#include "fuzz/fuzz_support.h"
#include "host/saver_context.h"
#include "host/x11/settings_file.h"

namespace {

struct Value {
    const char* name;
    uint32_t defaultValue;
    uint32_t (*read)(const SaverContext&);
};
#ifdef FUZZ_SYSTEM_SETTINGS
const char* const key = settings_file::systemKey;
const Value values[] = {{"Password Delay", 15, [](const SaverContext& c) { return c.passwordDelay; }},
                        {"Mouse Threshold", 50, [](const SaverContext& c) { return uint32_t(c.mouseThreshold); }},
                        {"Mute Sound", 0, [](const SaverContext& c) { return c.muteSound; }}};
const auto path = settings_file::systemSettingsPath;
const auto load = &SaverContext::loadSystemSettings;
#else
const char* const key = settings_file::saverKey;
const Value values[] = {{"UseMirrors", 1, [](const SaverContext& c) { return c.useMirrors; }}};
const auto path = settings_file::saverSettingsPath;
const auto load = &SaverContext::loadSaverSettings;
#endif
constexpr size_t largestFile = 64 * 1024;

// Whether the text, without its blanks and in lower case, has "dword:" with the value's eight hex digits, or
// "hex:" with its bytes low byte first (as many as the value needs; more only add to that).
bool textStores(const std::string& text, uint32_t value) {
    std::string t, hex = "hex:";
    for (unsigned char c : text)
        if (!std::isspace(c)) t += char(std::tolower(c));
    char digits[16];
    for (int i = 0; i == 0 || (i < 4 && value >> (8 * i)); ++i)
        hex.append(digits, std::snprintf(digits, sizeof digits, i ? ",%02x" : "%02x", (value >> (8 * i)) & 0xFFu));
    std::snprintf(digits, sizeof digits, "dword:%08x", value);
    return t.find(digits) != std::string::npos || t.find(hex) != std::string::npos;
}

SaverContext loadedFrom(const std::string& text) {
    FUZZ_CHECK(std::ofstream(path(), std::ios::binary).write(text.data(), std::streamsize(text.size())).flush());
    SaverContext context;
    (context.*load)();
    return context;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // In memory where there is a tmpfs: truncating and rewriting a file on disk is a hundred times slower.
    namespace fs = std::filesystem;
    static std::string root =
        ((fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) / "quillon-fuzz-XXXXXX");
    FUZZ_CHECK(mkdtemp(&root[0]) != nullptr);
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    fs::create_directories(settings_file::directory());
    std::atexit([] { fs::remove_all(root); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = textOf(data, size);
    const SaverContext raw = loadedFrom(text);
    for (const Value& v : values) FUZZ_CHECK(v.read(raw) == v.defaultValue || textStores(text, v.read(raw)));

    const uint32_t good = uint32_t(size * 2654435761u);  // a value for every name, in a section of its own
    std::string entries = std::string("\n[") + key + "]\n";
    char line[64];
    for (const Value& v : values)
        entries.append(line, std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\n", v.name, good));
    const bool refused = text.find('\0') != std::string::npos || text.size() + entries.size() > largestFile;
    const SaverContext appended = loadedFrom(text + entries);
    for (const Value& v : values) FUZZ_CHECK(v.read(appended) == (refused ? v.defaultValue : good));
    return 0;
}
