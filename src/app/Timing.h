#pragma once
// The game's clock facts in one place. Every screen paces its frames with kFrameMs, and
// every number of seconds the player sees is a millisecond count divided by
// kMsPerGameSecond: a game second is 30 frames of 33 ms, not a wall-clock second.

#include <cstdint>

namespace kelo {

// The wait between two frames of every screen: about 30 frames a second.
inline constexpr int32_t kFrameMs = 33;

// The pause between two screens: after a closing wipe, and before the title's first frame.
inline constexpr int32_t kHandOverPauseMs = 500;

// Milliseconds of the run clock in one displayed game second.
// Kept: the original's game second of 30 frames of 33 ms; every time shown and every
// stored record is counted in it.
inline constexpr int32_t kMsPerGameSecond = 990;

// A millisecond count in game seconds, unrounded (the run clock, record times, speeds).
inline constexpr double GameSeconds(int32_t ms) { return ms / static_cast<double>(kMsPerGameSecond); }

}  // namespace kelo
