#pragma once
// Watches a run for its history. The run calls it at fixed points and it only reads:
// nothing it does may change the game state, the random draws or the platform's output.

#include "history/RunHistory.h"

namespace kelo {

class Game;

class RunObserver {
public:
    virtual ~RunObserver() = default;
    // The run's screen has opened and both queues are filled; `practice` marks a run the
    // history keeps apart from the course's own runs.
    virtual void OnRunStart(const Game& game, bool practice) = 0;
    // A correct key of `hand` for `letter`, after the queue moved on; `startedClock` when
    // this key started the run's clock, which also made the tally forget the wrong keys
    // typed before it.
    virtual void OnHit(const Game& game, int hand, char letter, bool startedClock) = 0;
    // A wrong key, after the run charged it; `hand` is the hand it was tallied for, -1
    // for neither.
    virtual void OnWrongKey(const Game& game, int vk, int hand) = 0;
    // The end of every run frame's typing, after the clocks moved and the hands typed.
    virtual void OnFrame(const Game& game) = 0;
    // The run's screen is closing (Escape, Space after the result, or the window).
    virtual void OnRunEnd(const Game& game, RunOutcome outcome) = 0;
};

}  // namespace kelo
