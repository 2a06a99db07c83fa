#include "sound/SoundAliases.h"

namespace kelo {

std::string OpenCommand(const SoundAlias& sound) {
    return "open " + std::string(sound.file) + " Alias " + std::string(sound.alias);
}

std::string CloseCommand(const SoundAlias& sound) { return "close " + std::string(sound.alias); }

}  // namespace kelo
