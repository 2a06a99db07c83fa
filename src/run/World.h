#pragma once
#include "app/Game.h"

namespace kelo {

// Places all 1000 stars at random in the current course's star band.
void FillStarField(Game& game);

// The world step of a run frame: moves, respawns and draws the stars, keeps the
// streak history and composes the 300 x 300 view into PicBack.
void DrawWorld(Game& game);

}  // namespace kelo
