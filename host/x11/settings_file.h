// Where the X11 host keeps the values that live in the registry on Windows; implemented in saver_context.cpp.
#pragma once

#include <cstdint>
#include <string>

namespace settings_file {

// The registry keys and value names, kept as they are so both hosts speak of the same settings.
constexpr const char* systemKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers";
constexpr const char* saverKey = "Software\\Ostrel\\Lanthorn Saver";

// $XDG_CONFIG_HOME/quillon, else $HOME/.config/quillon; empty when neither can be found.
std::string directory();
// The saver's own file, read and written: directory()/settings.
std::string saverSettingsPath();
// The system's values, read only and never created: directory()/system-settings.
std::string systemSettingsPath();

// One value of one key from a file in the format described in saver_context.cpp; false when the file, the
// key or the value is missing or unusable.
bool readValue(const std::string& path, const char* key, const char* name, uint32_t& value);

}  // namespace settings_file
