#pragma once
#include "app/GameState.h"

namespace kelo {

// Applies the current course's script for the current distance: signs, curves,
// colours, star band, key pools and rhythm. Keeps nothing between calls.
void RunCourseEvents(GameState& state);

// The largest key pool of each hand that course `course`'s script ever sets (0 where it
// sets none).
PerHand<uint8_t> LargestScriptedPools(int course);

}  // namespace kelo
