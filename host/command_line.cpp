// The command-line parser: an optional '-' or '/', one switch letter, then a window number.
#include "host/command_line.h"

#include <cstdlib>

SaverMode currentMode = SaverMode::Unset;

namespace {
const char* skipProgramName(const char* p) {
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
    } else {
        while (*p && *p != ' ') ++p;
    }
    if (*p) ++p;  // the closing quote or the blank
    return p;
}

const char* skipBlanksAndColons(const char* p) {
    while (*p == ' ' || *p == ':') ++p;
    return p;
}
}  // namespace

CommandLine parseCommandLine(const char* commandLine) {
    CommandLine result;
    const char* p = skipProgramName(commandLine ? commandLine : "");
    while (*p == ' ') ++p;
    if (!*p) {
        result.mode = SaverMode::Configure;
    } else {
        if (*p == '-' || *p == '/') ++p;
        const char letter = *p;
        const char* rest = letter ? skipBlanksAndColons(p + 1) : p;
        switch (letter) {
        case 'P': case 'p': case 'L': case 'l':
            result.mode = SaverMode::Preview;
            result.window = std::atoi(rest);
            break;
        case 'S': case 's':
            result.mode = SaverMode::Saver;
            break;
        case 'C': case 'c':
            result.mode = SaverMode::Configure;
            if (*rest) result.window = std::atoi(rest);
            else result.ownerIsForeground = true;
            break;
        case 'A': case 'a':
            result.mode = SaverMode::ChangePassword;
            result.window = std::atoi(rest);
            break;
        default:
            break;
        }
    }
    currentMode = result.mode;
    return result;
}
