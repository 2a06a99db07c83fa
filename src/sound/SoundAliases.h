#pragma once
// The game's nine sound aliases and the files behind them: the one list that the
// title screen opens on its loading frame and that start-up and the close request
// close, always in this order.

#include <array>
#include <string>
#include <string_view>

namespace kelo {

struct SoundAlias {
    std::string_view alias;
    std::string_view file;  // as the open command names it; the platform finds the folder
};

inline constexpr std::array<SoundAlias, 9> kSoundAliases = {{
    {"wavTip", "snd/tap.wav"},        // every correct key
    {"wavSel", "snd/sel.wav"},        // paging through the courses
    {"wavDec", "snd/dec.wav"},        // Space taken on the title and on course select
    {"wavExtend", "snd/extend.wav"},  // a checkpoint reached with time left
    {"wavGop", "snd/start.wav"},      // the first correct key of a run
    {"wavGoal", "snd/goal.wav"},      // the goal
    {"midBGM1", "snd/bgm.mid"},       // a course's music, bgmIndex 0
    {"midBGM2", "snd/bgm2.mid"},      // a course's music, bgmIndex 1
    {"midChime", "snd/chime.mid"},    // the start of a run
}};

// "open snd/tap.wav Alias wavTip"
std::string OpenCommand(const SoundAlias& sound);
// "close wavTip"
std::string CloseCommand(const SoundAlias& sound);

}  // namespace kelo
