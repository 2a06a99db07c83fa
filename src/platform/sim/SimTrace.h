#pragma once
#include <cstdint>
#include <string>

#include "app/Game.h"

namespace kelo {

// The trace's layout version, in its header line. Raised whenever a field is added,
// dropped, renamed or moved, so that a reader can tell which layout it holds.
constexpr int kTraceFormat = 2;

// The trace's first line (without the newline): {"format": N, "game": "VERSION"}, the
// layout version and the version of the game that wrote it.
std::string TraceHeader();

// One line of the trace (without the newline): a JSON object with `frame`, `clock`,
// `screen`, every field of the game state except `stars` under its own name, and during
// a run the run-local values. Floats are printed so that they read back exactly.
std::string TraceLine(const Game& game, int64_t frame, uint32_t clock);

// `text` as a JSON string literal; UTF-8 passes through, control characters are escaped.
std::string JsonString(std::string_view text);

}  // namespace kelo
