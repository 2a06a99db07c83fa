#pragma once
#include <cstdint>
#include <string>
#include <vector>

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

// One hit disc at level v (50 at the hit, falling to 2), over the course's back colour.
struct HitDisc {
    float radius;
    Colour fill;
    Colour outline;
};
HitDisc HitDiscAt(uint8_t level, const GameState& state);

// The road sign blinks (drawn on even timer values) from 49 down to 30, then stays.
bool RoadSignShown(uint8_t signTimer);
// Draws the road sign into PicBack.
void DrawRoadSign(Game& game, SignKind kind);

// One printed copy of a result panel text.
struct PanelText {
    std::string text;
    int16_t x;
    int16_t y;
    Colour colour;
    uint8_t size;
};
// Every copy the result panel prints this frame, in drawing order.
std::vector<PanelText> ResultPanelTexts(const GameState& state, const RunLocals& run);

// "TypeSpeed: 96 keys/min." for the run's touches and time so far.
std::string TypeSpeedLine(const GameState& state);

}  // namespace kelo
