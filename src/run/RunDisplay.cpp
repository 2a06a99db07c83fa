#include "run/RunDisplay.h"
namespace kelo {
// Not built yet.
void UpdateLetterColumns(Game&, int) {}
void DrawHitFlashes(Game&, int) {}
void DrawRunOverlay(Game&) {}
void DrawResultPanel(Game&) {}
}  // namespace kelo
