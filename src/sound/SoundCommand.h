#pragma once
// The media command strings the game sends ("open snd/tap.wav Alias wavTip",
// "play wavDec notify from 0", "stop midBGM1", "close wavTip") read into a small record.
// Keywords are matched without regard to case, as the media interface does; the path and
// the alias are kept exactly as written.
// Changed: the original hands these strings to the system's media command interface;
// here the platform parses them and plays the files itself (on the desktop through SDL,
// MIDI through FluidSynth), with the same effect per command.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelo {

enum class SoundVerb { None, Open, Play, Stop, Close };

// What a file holds, judged by its extension as the media interface does.
enum class SoundFileKind { Unknown, Wave, Midi };

struct SoundCommand {
    SoundVerb verb = SoundVerb::None;  // None: malformed, nothing to do
    std::string alias;
    std::string path;                // open only
    bool notify = false;             // play only; a completion notice nobody receives
    std::optional<uint32_t> fromMs;  // play only; absent means "resume where it stopped"

    bool IsNothing() const { return verb == SoundVerb::None; }
};

SoundCommand ParseSoundCommand(std::string_view text);

SoundFileKind SoundFileKindOf(std::string_view path);

// True when the aliases name the same sound: alias names ignore case, as the media
// interface's do.
bool SameAlias(std::string_view a, std::string_view b);

}  // namespace kelo
