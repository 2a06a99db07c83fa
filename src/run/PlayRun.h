#pragma once
#include "app/Game.h"

namespace kelo {
// One run of the current course and difficulty; hands over to course select.
Screen PlayRun(Game& game);

// The parts of a run frame that keep time, open to tests.
// Speed decay and distance, the clocks, stages and checkpoints, the 999-second limit,
// the goal moment and the end timer.
void AdvanceRun(Game& game);
// Measures the frame just drawn: frame time (modulo 2^32), load level, frame-rate group.
void MeasureFrame(Game& game);
}  // namespace kelo
