#pragma once
// The simulator's input script: one event a line.
//
//   FRAME down KEY     key goes down when call FRAME of WaitFrame yields
//   FRAME up KEY
//   FRAME tap KEY      down at FRAME, up at FRAME + 1
//   FRAME close        the window's close request
//   # comment          (anywhere on a line); blank lines are ignored
//
// FRAME counts calls of WaitFrame from 1. KEY is A-Z, 0-9, COMMA, PERIOD, SPACE, ESCAPE,
// LEFT, RIGHT, UP, DOWN, SHIFT, CTRL, ALT, ENTER, BACKSPACE, TAB, DELETE or vk:N (1..255).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelo {

// The last frame a script may name: about a year of play at 30 frames a second, far
// beyond any simulation's safety limit, and small enough that FRAME + 1 never overflows.
constexpr int64_t kLastScriptFrame = 1'000'000'000;

// The largest script file read, far beyond any script a person or a tool writes.
constexpr uint64_t kMostScriptBytes = 4 << 20;

struct ScriptEvent {
    enum class Kind { Down, Up, Close };
    int64_t frame = 0;
    Kind kind = Kind::Down;
    int vk = 0;  // unused for Close

    bool operator==(const ScriptEvent&) const = default;
};

// The events in delivery order: by frame, and in file order within a frame (the key-up
// of a tap takes the tap line's place among the next frame's events). Throws
// SimUsageError naming the line and the problem.
std::vector<ScriptEvent> ParseScript(std::string_view text);

// `text` for an error message: in double quotes, cut after 80 characters ("..."), with
// every byte outside printable ASCII written as \xNN.
std::string QuotedForMessage(std::string_view text);

// The virtual-key code of a key name, or nothing when the name is unknown.
std::optional<int> KeyCodeFromName(std::string_view name);

}  // namespace kelo
