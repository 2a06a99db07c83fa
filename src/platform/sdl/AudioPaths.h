#pragma once
// Changed: the original resolves "snd/..." against the current directory only, so it
// plays no sound unless started from its own folder.
//
// Where the "snd/..." paths of the game's open commands lead. The game's sound folder is
// looked for beside the executable (a build, a portable copy), then in the installed data
// folder, then in the current directory. A folder counts only if its snd/ holds every one
// of the game's sound files (the files of sound/SoundAliases.h), so an empty or partial
// snd/ wherever the game is started cannot silence it. When no folder holds them all,
// each file comes from the first folder that has it, so a damaged copy still plays what
// it has.

#include <string>
#include <string_view>
#include <vector>

namespace kelo {

struct SoundFolders {
    // The game's own copies, most wanted first.
    std::vector<std::string> gameFolders;
    // Tried after the game's own copies.
    std::string currentDirectory = ".";
};

// The folders for an executable living in `executableDirectory` (empty: unknown): that
// directory, then the installed data folder, which lies at `dataFromExecutable` relative
// to it. The one-argument form uses the relative path of the configured install layout
// (bin/ to share/kelo-typing by default, games/ to share/games/kelo-typing on Debian).
SoundFolders GameSoundFolders(const std::string& executableDirectory);
SoundFolders GameSoundFolders(const std::string& executableDirectory, const std::string& dataFromExecutable);

// The file to open for `path`; absolute paths are taken as they are. A path found in no
// folder is given relative to the current directory, where opening it fails harmlessly.
std::string ResolveSoundPath(std::string_view path, const SoundFolders& folders);

}  // namespace kelo
