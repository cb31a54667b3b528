// Fuzz target: any bytes as the process command line through parseCommandLine. The mode is one of the five,
// and the window is what atoi gives for the text after the switch letter and its blanks and colons.
#include <algorithm>
#include <cctype>

#include "fuzz/fuzz_support.h"
#include "host/command_line.h"

// The rules told another way, with string searches: where the program name ends, the switch, the number.
static CommandLine expectedFor(const std::string& line) {
    size_t at = line.empty() ? 0 : line[0] == '"' ? line.find('"', 1) : line.find(' ');
    at = std::min(line.find_first_not_of(' ', at == std::string::npos ? line.size() : at + 1), line.size());
    if (at == line.size()) return {SaverMode::Configure, 0, false};
    at += line[at] == '-' || line[at] == '/';
    const size_t tail = std::min(line.find_first_not_of(" :", at + 1), line.size());
    const int32_t number = std::atoi(line.c_str() + tail);
    switch (at < line.size() ? std::tolower(static_cast<unsigned char>(line[at])) : 0) {
    case 'p': case 'l': return {SaverMode::Preview, number, false};
    case 'a': return {SaverMode::ChangePassword, number, false};
    case 's': return {SaverMode::Saver, 0, false};
    case 'c': return {SaverMode::Configure, tail == line.size() ? 0 : number, tail == line.size()};
    default: return {};
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line = textOf(data, strnlen(reinterpret_cast<const char*>(data), size));
    const auto copy = reinterpret_cast<const char*>(guardedCopy(line.c_str(), line.size() + 1));  // and its NUL
    const CommandLine parsed = parseCommandLine(copy), expected = expectedFor(line);
    FUZZ_CHECK(int32_t(parsed.mode) >= 0 && int32_t(parsed.mode) <= 4 && currentMode == parsed.mode);
    FUZZ_CHECK(parsed.mode == expected.mode && parsed.window == expected.window &&
               parsed.ownerIsForeground == expected.ownerIsForeground);
    return 0;
}
