// SaverContext settings for the X11 host: small registry-like files under $XDG_CONFIG_HOME (pairs with
// settings_file.h; host/win32/saver_context.cpp keeps the same values in the registry).
//
// File format, one entry a line, blanks around entries ignored:
//   ; comment (also #)
//   [Software\Ostrel\Lanthorn Saver]        a key; an optional "HKEY_CURRENT_USER\" prefix is accepted
//   "UseMirrors"=dword:00000001             a 32-bit value, exactly eight hex digits
//   "Mouse Threshold"=hex:32,00,00,00       raw bytes, little-endian, at most four (zero-widened)
// Keys and names compare without regard to case, as the registry's do; the last occurrence wins. Lines
// that fit none of these forms are ignored, so a damaged file reads as missing values and the defaults
// stay. A value with more than four bytes is ignored, as a registry query with a four-byte buffer fails.
//
// "settings" holds the saver's key and is the only file ever written, and only by storeSaverSettings,
// which replaces it whole and atomically. "system-settings" may hold the system's screen-saver key and is
// only read.
#include "host/saver_context.h"
#include "host/x11/settings_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

SaverContext* currentContext = nullptr;

namespace settings_file {
namespace {

constexpr size_t maximumFileSize = 64 * 1024;  // anything larger is not ours: read as missing

std::string trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

bool sameName(const std::string& a, const char* b) {
    const size_t length = std::strlen(b);
    if (a.size() != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string keyOfHeader(const std::string& line) {
    std::string key = trim(line.substr(1, line.size() - 2));
    static const std::string root = "HKEY_CURRENT_USER\\";
    if (key.size() > root.size() && sameName(key.substr(0, root.size()), root.c_str()))
        key = key.substr(root.size());
    return key;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parseDword(const std::string& text, uint32_t& value) {
    if (text.size() != 8) return false;
    uint32_t result = 0;
    for (char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) return false;
        result = result << 4 | uint32_t(digit);
    }
    value = result;
    return true;
}

// "hex:" bytes: comma-separated pairs of hex digits, taken little-endian.
bool parseBytes(const std::string& text, uint32_t& value) {
    uint32_t result = 0;
    int count = 0;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        item = trim(item);
        if (item.size() != 2 || hexDigit(item[0]) < 0 || hexDigit(item[1]) < 0) return false;
        if (count == 4) return false;  // longer than the four-byte buffer
        result |= uint32_t(hexDigit(item[0]) << 4 | hexDigit(item[1])) << (8 * count);
        ++count;
    }
    if (count == 0) return false;
    value = result;
    return true;
}

// A line `"Name"=data`; false when it is not one.
bool parseValueLine(const std::string& line, std::string& name, uint32_t& value) {
    if (line.size() < 3 || line[0] != '"') return false;
    const size_t close = line.find('"', 1);
    if (close == std::string::npos) return false;
    const std::string rest = trim(line.substr(close + 1));
    if (rest.empty() || rest[0] != '=') return false;
    const std::string data = trim(rest.substr(1));
    name = line.substr(1, close - 1);
    if (data.compare(0, 6, "dword:") == 0) return parseDword(trim(data.substr(6)), value);
    if (data.compare(0, 4, "hex:") == 0) return parseBytes(data.substr(4), value);
    return false;
}

// The whole of a regular file of at most maximumFileSize bytes. Opened without blocking and checked on
// the open descriptor, so that a fifo, a device or a directory left at the path reads as missing instead
// of hanging the saver or reading without end.
bool readSmallRegularFile(const std::string& path, std::string& content) {
    if (path.empty()) return false;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= off_t(maximumFileSize);
    content.assign(maximumFileSize + 1, '\0');  // one byte more, to see a file that grew meanwhile
    size_t length = 0;
    while (ok && length < content.size()) {
        const ssize_t n = read(fd, &content[length], content.size() - length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        length += size_t(n);
    }
    close(fd);
    content.resize(length);
    return ok && length <= maximumFileSize;
}

std::string homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()))
        if (entry->pw_dir && *entry->pw_dir) return entry->pw_dir;
    return {};
}

// mkdir -p, new directories private to the user.
bool makeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// Writes the whole file beside its final name, flushes it to disk and renames it into place, so a reader
// sees either the old file or the new one. Any failure leaves the old file and no temporary behind.
bool replaceFileAtomically(const std::string& dir, const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) return false;
    const bool written = writeAll(fd, text) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);  // makes the rename itself durable
        close(dirFd);
    }
    return true;
}

}  // namespace

std::string directory() {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory convention asks.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/quillon";
    const std::string home = homeDirectory();
    return home.empty() ? std::string() : home + "/.config/quillon";
}

std::string saverSettingsPath() {
    const std::string dir = directory();
    return dir.empty() ? dir : dir + "/settings";
}

std::string systemSettingsPath() {
    const std::string dir = directory();
    return dir.empty() ? dir : dir + "/system-settings";
}

bool readValue(const std::string& path, const char* key, const char* name, uint32_t& value) {
    std::string content;
    if (!readSmallRegularFile(path, content)) return false;
    if (content.find('\0') != std::string::npos) return false;  // binary junk, not a settings file

    std::stringstream lines(content);
    std::string line, currentKey;
    bool found = false;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            currentKey = keyOfHeader(line);
            continue;
        }
        std::string valueName;
        uint32_t data = 0;
        if (sameName(currentKey, key) && parseValueLine(line, valueName, data) && sameName(valueName, name)) {
            value = data;
            found = true;
        }
    }
    return found;
}

}  // namespace settings_file

void SaverContext::loadSystemSettings() {
    passwordDelay = 15;
    mouseThreshold = 50;
    checkingPassword = 0;
    const std::string path = settings_file::systemSettingsPath();
    uint32_t value = 0;
    if (settings_file::readValue(path, settings_file::systemKey, "Password Delay", value)) passwordDelay = value;
    if (settings_file::readValue(path, settings_file::systemKey, "Mouse Threshold", value))
        mouseThreshold = int32_t(value);
    if (settings_file::readValue(path, settings_file::systemKey, "Mute Sound", value)) muteSound = value;
}

void SaverContext::loadSaverSettings() {
    useMirrors = 1;
    uint32_t value = 0;
    if (settings_file::readValue(settings_file::saverSettingsPath(), settings_file::saverKey, "UseMirrors", value))
        useMirrors = value;
}

// Failures are silent: the dialog closes as usual and the old file, if any, stays as it was.
void SaverContext::storeSaverSettings() {
    const std::string dir = settings_file::directory();
    if (dir.empty() || !settings_file::makeDirectories(dir)) return;
    char line[64];
    std::snprintf(line, sizeof line, "\"UseMirrors\"=dword:%08x\n", unsigned(useMirrors));
    const std::string text = std::string("; Quillon screen saver settings\n[") + settings_file::saverKey + "]\n" + line;
    settings_file::replaceFileAtomically(dir, settings_file::saverSettingsPath(), text);
}
