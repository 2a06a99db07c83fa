#pragma once
#include "app/Game.h"

namespace kelo {

// Moves hand `hand`'s letter column toward its spacing and scroll targets.
void UpdateLetterColumns(Game& game, int hand);
// Draws hand `hand`'s expanding hit discs.
void DrawHitFlashes(Game& game, int hand);
// Band, letter lanes, blinking road sign and band borders, while flying.
void DrawRunOverlay(Game& game);
// "GOAL!" or "GAME OVER" panel, built up by the end timer.
void DrawResultPanel(Game& game);

}  // namespace kelo
