#pragma once
// The star projection shared by the front-end screens' resting star field and the
// run's moving one.

#include "app/Game.h"

namespace kelo {

struct ProjectedStar {
    int sx = 0;
    int sy = 0;
    Colour colour = 0;
    bool near = false;  // drawn as a 2 x 2 block (z <= 30000)
};

// Screen position around the centre (150, 150) and colour of one star, from its
// position and the course's back colour and star tint. Visibility is the caller's test.
ProjectedStar ProjectStar(const Star& star, const GameState& state);

// Draws the 1000 resting stars into PicBack (title and course select).
void DrawStarField(Game& game);

}  // namespace kelo
