#pragma once
#include <cstdint>

#include "app/Game.h"

namespace kelo {

// Places all 1000 stars at random in the current course's star band.
void FillStarField(Game& game);

// The world step of a run frame: moves, respawns and draws the stars, keeps the
// streak history and composes the 300 x 300 view into PicBack.
void DrawWorld(Game& game);

// The first star the world step processes: slow frames (a high load level) skip the
// leading stars ten at a time. Stars 0 to 9 are never processed during a run.
int FirstProcessedStar(uint8_t loadLevel);

// How many of the stored history frames are laid under the current star layer.
int StreakFrameCount(int16_t warpLevel, uint8_t loadLevel);

}  // namespace kelo
