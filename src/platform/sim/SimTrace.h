#pragma once
#include <cstdint>
#include <string>

#include "app/Game.h"

namespace kelo {

// One line of the trace (without the newline): a JSON object with `frame`, `clock`,
// `screen`, every field of the game state except `stars` under its own name, and during
// a run the run-local values. Floats are printed so that they read back exactly.
std::string TraceLine(const Game& game, int64_t frame, uint32_t clock);

// `text` as a JSON string literal; UTF-8 passes through, control characters are escaped.
std::string JsonString(std::string_view text);

}  // namespace kelo
