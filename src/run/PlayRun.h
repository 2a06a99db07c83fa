#pragma once
#include "app/Game.h"

namespace kelo {
// One run of the current course and difficulty; hands over to course select.
Screen PlayRun(Game& game);
}  // namespace kelo
