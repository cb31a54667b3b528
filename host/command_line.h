// Run modes and the command-line parser shared by the Windows and X11 hosts.
#pragma once

#include <cstdint>

enum class SaverMode : int32_t {
    Unset = 0,
    Configure = 1,
    ChangePassword = 2,
    Preview = 3,
    Saver = 4,
};

struct CommandLine {
    SaverMode mode = SaverMode::Unset;
    int32_t window = 0;               // window handle value given after the switch, 0 when none
    bool ownerIsForeground = false;   // "/c" without a number: the host uses the foreground window
};

// Parses the whole process command line, program name first (a blank is 0x20 only).
CommandLine parseCommandLine(const char* commandLine);

extern SaverMode currentMode;
