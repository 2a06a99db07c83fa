#pragma once
// The remembered display choice: the window's zoom and whether it is fullscreen, kept in
// $XDG_CONFIG_HOME/kelo-typing/settings.ini (default ~/.config/kelo-typing/) as lines
// "scale=N" and "fullscreen=0|1", and the language of the game's texts, "language=ja|en".
// Changed: the original keeps no settings; this file holds only how the window shows the
// picture and in which language its texts are.

#include <optional>
#include <string>
#include <string_view>

namespace kelo {

struct DisplaySettings {
    std::optional<int> zoom;
    std::optional<bool> fullscreen;
    std::optional<std::string> language{};
    bool operator==(const DisplaySettings&) const = default;
};

// The settings that the file's lines set with a valid value, a later line winning. Every
// other line (an unknown key, a value out of range, not key=value) is left out and
// named in `warning`, one line for all of them, empty when there is none. Blank lines
// are allowed.
DisplaySettings ParseDisplaySettings(std::string_view text, std::string& warning);
std::string FormatDisplaySettings(const DisplaySettings& settings);

// The file's path from the environment's values (which may be null); empty when
// neither names an absolute folder.
std::string DisplaySettingsPath(const char* configHome, const char* home);

// Reads the file. A missing file gives empty settings; an unreadable one gives empty
// settings and a one-line reason in `warning`; lines that set nothing are named there.
DisplaySettings LoadDisplaySettings(const std::string& path, std::string& warning);
// Writes the file, creating its folder; false (with a reason in `error`) on failure.
bool SaveDisplaySettings(const std::string& path, const DisplaySettings& settings, std::string& error);

}  // namespace kelo
