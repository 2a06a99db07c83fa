#pragma once
#include "app/Game.h"

namespace kelo {
// Replaces the record state from the record file, if there is one.
void LoadRecords(Game& game);
// Writes the record file from the current state.
void SaveRecords(Game& game);
}  // namespace kelo
