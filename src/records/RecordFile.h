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
// Writes the record file from the current state. False when the platform could not
// keep it anywhere; the platform has then told the player, and the state in memory
// stays the master copy for the next save.
bool SaveRecords(Game& game);

}  // namespace kelo
