#pragma once
#include "app/Game.h"

namespace kelo {
// Course select and records: pages through the open courses; hands over to a run.
Screen SelectScreen(Game& game);
}  // namespace kelo
