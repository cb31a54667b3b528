// Fuzz target: any bytes left in the X11 host's settings file, or (built with FUZZ_SYSTEM_SETTINGS) in its
// system-settings file, read by SaverContext's loaders. Every value read is its default or a 32-bit integer
// that the bytes store; with a good entry appended, that entry wins unless the file as a whole is refused.
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <string>

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
std::string path() { return settings_file::systemSettingsPath(); }
void load(SaverContext& context) { context.loadSystemSettings(); }
#else
const char* const key = settings_file::saverKey;
const Value values[] = {{"UseMirrors", 1, [](const SaverContext& c) { return c.useMirrors; }}};
std::string path() { return settings_file::saverSettingsPath(); }
void load(SaverContext& context) { context.loadSaverSettings(); }
#endif
constexpr size_t largestFile = 64 * 1024;

// Whether the text, without its blanks and in lower case, has "dword:" with the value's eight hex digits, or
// "hex:" with its bytes low byte first (as many as the value needs, or more).
bool textStores(const std::string& text, uint32_t value) {
    std::string t;
    for (unsigned char c : text)
        if (!std::isspace(c)) t += char(std::tolower(c));
    char digits[16];
    std::snprintf(digits, sizeof digits, "dword:%08x", value);
    if (t.find(digits) != std::string::npos) return true;
    std::string bytes = "hex:";
    for (int i = 0; i < 4; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", (value >> (8 * i)) & 0xFFu);
        bytes += digits;
        if ((i == 3 || value >> (8 * (i + 1)) == 0) && t.find(bytes) != std::string::npos) return true;
        bytes += ',';
    }
    return false;
}

SaverContext loadedFrom(const std::string& text) {
    const int fd = open(path().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    FUZZ_CHECK(fd >= 0 && write(fd, text.data(), text.size()) == ssize_t(text.size()) && close(fd) == 0);
    SaverContext context;
    load(context);
    return context;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // In memory where there is a tmpfs: truncating and rewriting a file on disk is a hundred times slower.
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                                 : std::filesystem::temp_directory_path();
    static std::string root = (base / "quillon-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(&root[0]) != nullptr);
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    std::filesystem::create_directories(settings_file::directory());
    std::atexit([] { std::filesystem::remove_all(root); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const SaverContext raw = loadedFrom(text);
    for (const Value& v : values) FUZZ_CHECK(v.read(raw) == v.defaultValue || textStores(text, v.read(raw)));

    std::string entries = std::string("\n[") + key + "]\n";
    char line[64];
    for (const Value& v : values) {
        std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\n", v.name, unsigned(size * 2654435761u));
        entries += line;
    }
    const bool refused = text.find('\0') != std::string::npos || text.size() + entries.size() > largestFile;
    const SaverContext appended = loadedFrom(text + entries);
    for (const Value& v : values)
        FUZZ_CHECK(v.read(appended) == (refused ? v.defaultValue : uint32_t(size * 2654435761u)));
    return 0;
}
