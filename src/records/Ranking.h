#pragma once
#include "app/Game.h"
#include "records/RecordCodec.h"

namespace kelo {

// Typing speed of a run in hundredths of keys per minute.
int32_t RunTypingSpeed(int32_t touches, int32_t elapsedTime);

// Ranks `run` into `table`: its course's best five, the course's clear mark and the
// number of open courses. Returns the place it took, 1..5, or 0 when it took none.
uint8_t RankRun(RecordTable& table, const FinishedRun& run);

// Ranks the run that has just reached the goal into its course's best five, sets
// game.run.newRank (1..5, 0 when it took no place), updates the clear mark and the
// number of open courses, and keeps the run for the next record save.
void InsertRunRecord(Game& game);

}  // namespace kelo
