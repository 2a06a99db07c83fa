#pragma once
// What the title and course-select screens draw with: colours off the course's base
// colour, the resting star field, and the steps of the opening and closing wipes.

#include "app/Game.h"

namespace kelo {

// The course's back colour with `n` added to each channel (capped at 255).
Colour BasePlus(const GameState& state, int n);
// The back colour with a separate offset per channel.
Colour BasePlus(const GameState& state, int red, int green, int blue);
inline Colour Grey(int level) { return Rgb(level, level, level); }

// The resting star field: the game's stars in the course's colours, into PicBack.
void DrawStarField(Game& game);

// One step of an opening wipe: 20 pixels narrower, never below 0.
int16_t NarrowerWipe(int16_t width);

// The closing wipe over the last frame drawn: widths 0 to 400 in steps of 20, one
// frame each, with game.state.loopIndex as the width. False when the window was
// asked to close meanwhile (the wipe stops at that step).
bool PlayClosingWipe(Game& game);

}  // namespace kelo
