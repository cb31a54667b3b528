// Fuzz target: any bytes as the process command line through parseCommandLine. The mode is one of the five,
// and the window is what atoi gives for the text after the switch letter and its blanks and colons.
#include <algorithm>
#include <cctype>
#include <string>

#include "fuzz/fuzz_support.h"
#include "host/command_line.h"

namespace {

// The rules told another way, with string searches: where the program name ends, the switch, the number.
CommandLine expectedFor(const std::string& line) {
    size_t at = line.empty() ? 0 : line[0] == '"' ? line.find('"', 1) : line.find(' ');
    at = at == std::string::npos ? line.size() : at + 1;
    at = std::min(line.find_first_not_of(' ', at), line.size());
    CommandLine expected;
    if (at == line.size()) {
        expected.mode = SaverMode::Configure;
        return expected;
    }
    if (line[at] == '-' || line[at] == '/') ++at;
    const int letter = at < line.size() ? std::tolower(static_cast<unsigned char>(line[at])) : 0;
    const size_t tail = std::min(line.find_first_not_of(" :", at + 1), line.size());
    const int32_t number = std::atoi(line.c_str() + tail);
    switch (letter) {
    case 'p': case 'l': expected.mode = SaverMode::Preview, expected.window = number; break;
    case 'a': expected.mode = SaverMode::ChangePassword, expected.window = number; break;
    case 's': expected.mode = SaverMode::Saver; break;
    case 'c':
        expected.mode = SaverMode::Configure;
        expected.window = tail == line.size() ? 0 : number;
        expected.ownerIsForeground = tail == line.size();
        break;
    default: break;
    }
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    const CommandLine parsed = parseCommandLine(reinterpret_cast<const char*>(guardedCopy(line.c_str(), line.size() + 1)));
    const CommandLine expected = expectedFor(line);
    FUZZ_CHECK(int32_t(parsed.mode) >= 0 && int32_t(parsed.mode) <= 4 && currentMode == parsed.mode);
    FUZZ_CHECK(parsed.mode == expected.mode && parsed.window == expected.window);
    FUZZ_CHECK(parsed.ownerIsForeground == expected.ownerIsForeground);
    return 0;
}
