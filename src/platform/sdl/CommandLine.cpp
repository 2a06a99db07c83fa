#include "platform/sdl/CommandLine.h"

#include <cctype>
#include <charconv>

#include "platform/common/MessageCatalogue.h"

namespace kelo {

namespace {

std::optional<int> ParseZoom(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < 1 || value > kMaxZoom) return std::nullopt;
    return value;
}

CommandLine Failure(std::string message) {
    CommandLine result;
    result.action = CommandLine::Action::Error;
    result.error = std::move(message);
    return result;
}

std::string BadZoom(std::string_view text) {
    return "--scale wants a whole number from 1 to " + std::to_string(kMaxZoom) + ", not \"" + std::string(text) + "\"";
}

bool IsExportName(std::string_view name) {
    if (name == "-") return true;
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.size() > 4 && (lower.ends_with(".csv") || lower.ends_with(".json"));
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string_view>& args) {
    CommandLine result;
    bool help = false, version = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--fullscreen") {
            result.fullscreen = true;
        } else if (arg == "--windowed") {
            result.fullscreen = false;
        } else if (arg == "--export-history" || arg.starts_with("--export-history=")) {
            if (arg == "--export-history") {
                if (i + 1 == args.size()) return Failure("--export-history needs a file name");
                result.exportPath = args[++i];
            } else {
                result.exportPath = arg.substr(17);
            }
            if (!IsExportName(result.exportPath))
                return Failure("--export-history wants a file ending in .csv or .json, or -");
        } else if (arg == "--replay" || arg.starts_with("--replay=")) {
            std::string_view value;
            if (arg == "--replay") {
                if (i + 1 == args.size()) return Failure("--replay needs a run id");
                value = args[++i];
            } else {
                value = arg.substr(9);
            }
            int64_t id = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), id);
            if (error != std::errc() || end != value.data() + value.size() || id < 1)
                return Failure("--replay wants a run id (a whole number from 1), not \"" + std::string(value) + "\"");
            result.replayRunId = id;
        } else if (arg == "--scale" || arg.starts_with("--scale=")) {
            std::string_view value;
            if (arg == "--scale") {
                if (i + 1 == args.size()) return Failure("--scale needs a number");
                value = args[++i];
            } else {
                value = arg.substr(8);
            }
            result.zoom = ParseZoom(value);
            if (!result.zoom) return Failure(BadZoom(value));
        } else if (arg == "--language" || arg.starts_with("--language=")) {
            std::string_view value;
            if (arg == "--language") {
                if (i + 1 == args.size()) return Failure("--language needs ja or en");
                value = args[++i];
            } else {
                value = arg.substr(11);
            }
            if (!IsGameLanguage(value)) return Failure("--language wants ja or en, not \"" + std::string(value) + "\"");
            result.language = std::string(value);
        } else {
            return Failure("unknown option \"" + std::string(arg) + "\" (try --help)");
        }
    }
    if (help)
        result.action = CommandLine::Action::Help;
    else if (version)
        result.action = CommandLine::Action::Version;
    else if (!result.exportPath.empty())
        result.action = CommandLine::Action::ExportHistory;
    else if (result.replayRunId)
        result.action = CommandLine::Action::Replay;
    return result;
}

std::string HelpText() {
    return "Usage: kelo-typing [--scale N] [--fullscreen | --windowed] [--language ja|en] [--help] [--version]\n"
           "Steer a craft through space by typing the letters on its course.\n"
           "\n"
           "  --scale N      show the game N times its size (1 to 16; default: fits the screen)\n"
           "  --fullscreen   start fullscreen\n"
           "  --windowed     start in a window\n"
           "  --language L   the game's texts in Japanese (ja, the default) or English (en)\n"
           "  --help         print this help and exit\n"
           "  --version      print the version and exit\n"
           "  --export-history FILE\n"
           "                 write the run history to FILE (.csv or .json; - for CSV on\n"
           "                 standard output) and exit; works while the game runs\n"
           "  --replay RUN_ID\n"
           "                 play a run of the history again in a window of its own (ids\n"
           "                 as --export-history shows them); Escape ends it. Takes no\n"
           "                 lock and writes nothing\n"
           "\n"
           "Keys: F11 or Alt+Enter toggles fullscreen; Ctrl+Plus, Ctrl+Minus and Ctrl+0 zoom\n"
           "(not during a run); Ctrl+Q, or Escape on the title, quits.\n"
           "The options apply to this launch only. The zoom and fullscreen choices made in the\n"
           "game are kept in $XDG_CONFIG_HOME/kelo-typing/settings.ini, which can also hold\n"
           "language=en.\n";
}

}  // namespace kelo
