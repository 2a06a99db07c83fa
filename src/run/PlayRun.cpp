#include "run/PlayRun.h"

namespace kelo {
// Not built yet.
Screen PlayRun(Game&) { return Screen::None; }
}  // namespace kelo
