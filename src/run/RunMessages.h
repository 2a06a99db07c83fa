#pragma once
// What a run prints over its world picture: the start messages, the stage progress
// bar, "Time Extend!", and the right-hand panel with the counters. Read-only on the
// game state; all drawing goes to PicBack.

#include "app/Game.h"

namespace kelo {

// "Ready....", the splitting "Rea" / "dy...." and "GO!", chosen by the countdown.
void DrawStartMessages(Game& game);

// Progress through the current stage, shown once the countdown has reached 0.
void DrawStageProgress(Game& game);

// "Time Extend!" while the extend timer runs: shaking, then standing still.
void DrawExtendMessage(Game& game);

// The panel right of the flight view: stage time, run clock, speed dial and speed.
void DrawRightPanel(Game& game);

// "Practice" in the right-hand panel, throughout a practice run.
void DrawPracticeMark(Game& game);

// The rate of the last complete group of 30 frames, printed last in a frame.
void DrawFrameRate(Game& game);

}  // namespace kelo
