#pragma once
#include "app/Game.h"

namespace kelo {
// The title screen: shown once after start-up; hands over to course select.
Screen TitleScreen(Game& game);
}  // namespace kelo
