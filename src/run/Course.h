#pragma once
#include "app/GameState.h"

namespace kelo {

// Puts the run state back to its start values and loads the numbers of course
// `courseIndex` for the `difficulty` in force. Leaves the stars, curveRate, distance,
// the road sign and the streak effect alone.
void ResetRun(GameState& state);

// Writes each course's two lines of notes, which course select shows, into courseNotes.
void FillCourseNotes(GameState& state);

}  // namespace kelo
