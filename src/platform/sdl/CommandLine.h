#pragma once
// The desktop game's command line, as HelpText() prints it. The man page and README.md
// say the same; a test checks that they agree with HelpText().
// Changed: the original has no command line; none of these options touches the game.
// Parsing is pure so that every case can be tested without a window.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelo {

inline constexpr int kMaxZoom = 16;

struct CommandLine {
    enum class Action { Play, Help, Version, Error, ExportHistory };
    Action action = Action::Play;
    std::optional<int> zoom;              // --scale N, 1 .. kMaxZoom
    std::optional<bool> fullscreen;       // --fullscreen / --windowed; the last one given wins
    std::string error;                    // one line naming the bad argument, for Action::Error
    std::optional<std::string> language;  // --language ja|en
    std::string exportPath;               // --export-history FILE: .csv, .json or - (CSV on stdout)
};

// `args` excludes the program name. --help and --version win over the other options,
// but any bad argument makes the whole line an error.
CommandLine ParseCommandLine(const std::vector<std::string_view>& args);

// The text printed by --help, ending in a newline.
std::string HelpText();

}  // namespace kelo
