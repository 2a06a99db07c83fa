#include "draw/StarField.h"
namespace kelo {
// Not built yet.
ProjectedStar ProjectStar(const Star&, const GameState&) { return {}; }
void DrawStarField(Game&) {}
}  // namespace kelo
