#include "platform/sdl/DisplaySettings.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/common/MessageCatalogue.h"
#include "platform/sdl/CommandLine.h"

namespace kelo {

namespace {

std::optional<int> ParseNumber(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
    return value;
}

std::string_view Trimmed(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    return line;
}

// Takes a line that sets a setting to a valid value; leaves `settings` alone otherwise.
bool ApplyLine(std::string_view line, DisplaySettings& settings) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view key = line.substr(0, equals), value = line.substr(equals + 1);
    if (key == "scale") {
        const std::optional<int> zoom = ParseNumber(value, 1, kMaxZoom);
        if (zoom) settings.zoom = zoom;
        return zoom.has_value();
    }
    if (key == "fullscreen") {
        const std::optional<int> flag = ParseNumber(value, 0, 1);
        if (flag) settings.fullscreen = *flag == 1;
        return flag.has_value();
    }
    if (key == "language") {
        if (!IsGameLanguage(value)) return false;
        settings.language = std::string(value);
        return true;
    }
    return false;
}

bool MakeFolder(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// Creates every missing folder above the file at `path`.
bool MakeParentFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (!MakeFolder(path.substr(0, slash))) return false;
    }
    return true;
}

}  // namespace

DisplaySettings ParseDisplaySettings(std::string_view text, std::string& warning) {
    // A file that the game's next version wrote, or a typing slip, costs only its lines.
    constexpr int kLinesNamed = 5;
    DisplaySettings settings;
    std::vector<int> ignored;
    int number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (!line.empty() && !ApplyLine(line, settings)) ignored.push_back(number);
    }
    warning.clear();
    if (ignored.empty()) return settings;
    warning = ignored.size() == 1 ? "line " : "lines ";
    for (size_t i = 0; i < ignored.size() && i < kLinesNamed; ++i) {
        if (i > 0) warning += ", ";
        warning += std::to_string(ignored[i]);
    }
    if (ignored.size() > kLinesNamed) warning += " and " + std::to_string(ignored.size() - kLinesNamed) + " more";
    warning += std::string(ignored.size() == 1 ? " is" : " are") + " not scale=1.." + std::to_string(kMaxZoom) +
               ", fullscreen=0|1 or language=ja|en and ignored";
    return settings;
}

std::string FormatDisplaySettings(const DisplaySettings& settings) {
    std::string text;
    if (settings.zoom) text += "scale=" + std::to_string(*settings.zoom) + "\n";
    if (settings.fullscreen) text += std::string("fullscreen=") + (*settings.fullscreen ? "1" : "0") + "\n";
    if (settings.language) text += "language=" + *settings.language + "\n";
    return text;
}

std::string DisplaySettingsPath(const char* configHome, const char* home) {
    std::string folder;
    if (configHome != nullptr && configHome[0] == '/') {
        folder = configHome;
    } else if (home != nullptr && home[0] == '/') {
        folder = std::string(home) + "/.config";
    } else {
        return "";
    }
    return folder + "/kelo-typing/settings.ini";
}

DisplaySettings LoadDisplaySettings(const std::string& path, std::string& warning) {
    // Only a regular file is read: a FIFO without a writer would hold the start for ever.
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        warning = path + ": not a regular file; the file is ignored";
        return {};
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (errno != ENOENT) warning = path + ": " + std::strerror(errno);
        return {};
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string ignored;
    DisplaySettings settings = ParseDisplaySettings(text.str(), ignored);
    if (!ignored.empty()) warning = path + ": " + ignored;
    return settings;
}

bool SaveDisplaySettings(const std::string& path, const DisplaySettings& settings, std::string& error) {
    if (path.empty() || !MakeParentFolders(path)) {
        error = "cannot create the folder for " + path;
        return false;
    }
    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << FormatDisplaySettings(settings);
        if (!file.flush()) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace kelo
