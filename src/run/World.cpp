#include "run/World.h"
namespace kelo {
// Not built yet.
void FillStarField(Game&) {}
void DrawWorld(Game&) {}
}  // namespace kelo
