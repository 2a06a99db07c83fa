#pragma once
// The observer that builds a run's history and hands it to the platform at the run's end.

#include "history/RunObserver.h"

namespace kelo {

class RunRecorder : public RunObserver {
public:
    void OnRunStart(const Game& game, bool practice) override;
    void OnHit(const Game& game, int hand, char letter, bool startedClock) override;
    void OnWrongKey(const Game& game, int vk, int hand) override;
    void OnFrame(const Game& game) override;
    void OnRunEnd(const Game& game, RunOutcome outcome) override;

    // The run being recorded, or the last one once it ended.
    const RunHistory& Current() const { return run_; }

private:
    void BecameHead(const Game& game, int hand);
    void CountPair(int targetRow, const std::string& typed);

    RunHistory run_;
    PerHand<int> headRow_{};
    PerHand<int32_t> headSince_{};  // game clock when the head became head
    // Between OnRunStart and OnRunEnd; keys typed during the closing curtain are not
    // part of the run that was saved.
    bool recording_ = false;
};

// How a run that is closing ended: by its state (goal, time out) before the way out.
RunOutcome OutcomeOfClosingRun(const GameState& state, bool windowClosed);

}  // namespace kelo
