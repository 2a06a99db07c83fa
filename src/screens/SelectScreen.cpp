#include "screens/SelectScreen.h"

namespace kelo {
// Not built yet.
Screen SelectScreen(Game&) { return Screen::None; }
}  // namespace kelo
