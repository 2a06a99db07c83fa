#include "platform/sdl/AudioPaths.h"

#include <filesystem>
#include <system_error>

#include "sound/SoundAliases.h"

#ifndef KELO_DATA_FROM_BINDIR
#define KELO_DATA_FROM_BINDIR "../share/kelo-typing"
#endif

namespace kelo {

namespace {

namespace fs = std::filesystem;

bool IsFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

bool HoldsEverySoundFile(const fs::path& base) {
    for (const SoundAlias& sound : kSoundAliases) {
        if (!IsFile(base / sound.file)) return false;
    }
    return true;
}

std::vector<fs::path> FoldersInOrder(const SoundFolders& folders) {
    std::vector<fs::path> bases(folders.gameFolders.begin(), folders.gameFolders.end());
    bases.emplace_back(folders.currentDirectory);
    return bases;
}

}  // namespace

SoundFolders GameSoundFolders(const std::string& executableDirectory) {
    return GameSoundFolders(executableDirectory, KELO_DATA_FROM_BINDIR);
}

SoundFolders GameSoundFolders(const std::string& executableDirectory, const std::string& dataFromExecutable) {
    SoundFolders folders;
    if (!executableDirectory.empty()) {
        fs::path base(executableDirectory);
        folders.gameFolders.push_back(base.string());
        folders.gameFolders.push_back((base / dataFromExecutable).lexically_normal().string());
    }
    return folders;
}

std::string ResolveSoundPath(std::string_view path, const SoundFolders& folders) {
    const fs::path relative(path);
    if (relative.is_absolute()) return relative.string();
    const std::vector<fs::path> bases = FoldersInOrder(folders);
    for (const fs::path& base : bases) {
        if (HoldsEverySoundFile(base)) return (base / relative).string();
    }
    for (const fs::path& base : bases) {
        if (IsFile(base / relative)) return (base / relative).string();
    }
    return (fs::path(folders.currentDirectory) / relative).string();
}

}  // namespace kelo
