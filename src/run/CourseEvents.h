#pragma once
#include "app/GameState.h"

namespace kelo {

// Applies the current course's script for the current distance: signs, curves,
// colours, star band, key pools and rhythm. Keeps nothing between calls.
void RunCourseEvents(GameState& state);

}  // namespace kelo
