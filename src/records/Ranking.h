#pragma once
#include "app/Game.h"

namespace kelo {

// Typing speed of a run in hundredths of keys per minute.
int32_t RunTypingSpeed(int32_t touches, int32_t elapsedTime);

// Ranks the run that has just reached the goal into its course's best five, sets
// game.run.newRank (1..5, 0 when it took no place) and updates the clear mark and
// the number of open courses.
void InsertRunRecord(Game& game);

}  // namespace kelo
