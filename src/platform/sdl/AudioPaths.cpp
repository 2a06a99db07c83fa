#include "platform/sdl/AudioPaths.h"

#include <filesystem>
#include <system_error>

namespace kelo {

namespace {

namespace fs = std::filesystem;

bool IsDirectory(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

}  // namespace

SoundFolders GameSoundFolders(const std::string& executableDirectory) {
    SoundFolders folders;
    if (!executableDirectory.empty()) {
        fs::path base(executableDirectory);
        folders.fallbacks.push_back(base.string());
        folders.fallbacks.push_back((base / ".." / "share" / "kelo-typing").lexically_normal().string());
    }
    return folders;
}

std::string ResolveSoundPath(std::string_view path, const SoundFolders& folders) {
    fs::path relative(path);
    fs::path inCurrent = fs::path(folders.currentDirectory) / relative;
    if (relative.is_absolute() || !relative.has_parent_path()) return inCurrent.string();
    fs::path firstFolder = *relative.begin();
    if (IsDirectory(fs::path(folders.currentDirectory) / firstFolder)) return inCurrent.string();
    for (const std::string& base : folders.fallbacks) {
        if (IsDirectory(fs::path(base) / firstFolder)) return (fs::path(base) / relative).string();
    }
    return inCurrent.string();
}

}  // namespace kelo
