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

// The file's contents, or nothing (with a one-line reason in `error`) when any line is
// not one of the two settings with a valid value. Blank lines are allowed.
std::optional<DisplaySettings> ParseDisplaySettings(std::string_view text, std::string& error);
std::string FormatDisplaySettings(const DisplaySettings& settings);

// The file's path from the environment's values (which may be null); empty when
// neither names an absolute folder.
std::string DisplaySettingsPath(const char* configHome, const char* home);

// Reads the file. A missing file gives empty settings; a damaged or unreadable one gives
// empty settings and a one-line reason in `warning`.
DisplaySettings LoadDisplaySettings(const std::string& path, std::string& warning);
// Writes the file, creating its folder; false (with a reason in `error`) on failure.
bool SaveDisplaySettings(const std::string& path, const DisplaySettings& settings, std::string& error);

}  // namespace kelo
