#pragma once
// Where the "snd/..." paths of the open commands lead. They are relative to the current
// directory; when the current directory has no such folder, the folder that travels with
// the game is used instead (beside the executable in a build, or the install's data
// folder), so the game has sound however it is started.

#include <string>
#include <string_view>
#include <vector>

namespace kelo {

struct SoundFolders {
    std::string currentDirectory = ".";
    // Tried in order when the current directory lacks the path's first folder.
    std::vector<std::string> fallbacks;
};

// The folders for an executable living in `executableDirectory` (empty: unknown):
// that directory, then <that directory>/../share/kelo-typing.
SoundFolders GameSoundFolders(const std::string& executableDirectory);

// The file to open for `path`. Absolute paths and paths without a folder are taken
// as they are, relative to the current directory.
std::string ResolveSoundPath(std::string_view path, const SoundFolders& folders);

}  // namespace kelo
