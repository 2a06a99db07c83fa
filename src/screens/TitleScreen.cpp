#include "screens/TitleScreen.h"

namespace kelo {
// Not built yet: the game ends after start-up.
Screen TitleScreen(Game&) { return Screen::None; }
}  // namespace kelo
