#pragma once
// Loading and saving the record part of the game state through the platform. The
// file's bytes are defined in RecordCodec.h.

#include "app/Game.h"
#include "records/RecordCodec.h"

namespace kelo {

RecordTable RecordTableOf(const GameState& state);
void ApplyRecordTable(const RecordTable& table, GameState& state);

// Replaces the record state from the record file, if there is one.
void LoadRecords(Game& game);
// Writes the record file: the file as it is now, when it loads whole, with the runs not
// saved yet ranked into it (runs that another copy of the game saved meanwhile are
// kept), else the current state; the state then follows what was written. False when
// the platform could not keep it anywhere; the platform has then told the player, and
// the runs stay for the next save.
bool SaveRecords(Game& game);

}  // namespace kelo
