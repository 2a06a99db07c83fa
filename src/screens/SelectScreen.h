#pragma once
#include "app/Game.h"

namespace kelo {
// Course select and records: pages through the open courses; hands over to a run, or
// with Tab to the progress screen.
Screen SelectScreen(Game& game);
}  // namespace kelo
