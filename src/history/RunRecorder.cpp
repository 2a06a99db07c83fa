#include "history/RunRecorder.h"

#include <algorithm>

#include "app/Game.h"
#include "app/Timing.h"
#include "records/Ranking.h"

namespace kelo {

namespace {

// Enough samples for the longest run the clock allows (999 game seconds).
constexpr size_t kMaxSpeedSamples = 1000;

bool ClockRuns(const GameState& s) {
    return s.elapsedTime > 0 && s.stageTime[s.stageIndex] > 0 && s.distance < s.courseLength;
}

int HeadRow(const GameState& s, int hand) {
    const std::string& queue = s.targetQueue[hand];
    return queue.empty() ? -1 : HistoryKeyRow(queue.front());
}

}  // namespace

RunOutcome OutcomeOfClosingRun(const GameState& s, bool windowClosed) {
    if (s.elapsedTime > 0 && s.distance >= s.courseLength) return RunOutcome::Goal;
    if (s.elapsedTime > 0 && s.stageTime[s.stageIndex] == 0) return RunOutcome::TimeOut;
    return windowClosed ? RunOutcome::WindowClosed : RunOutcome::Escape;
}

void RunRecorder::OnRunStart(const Game& game, bool practice) {
    run_ = RunHistory{};
    run_.start = game.platform.WallClock();
    run_.layoutName = game.platform.KeyboardLayoutName();
    run_.practice = practice;
    run_.course = game.state.courseIndex;
    run_.difficulty = game.state.difficulty;
    recording_ = true;
    for (int hand = 0; hand < 2; ++hand) BecameHead(game, hand);
}

void RunRecorder::BecameHead(const Game& game, int hand) {
    headRow_[hand] = HeadRow(game.state, hand);
    headSince_[hand] = game.state.elapsedTime;
    if (headRow_[hand] >= 0) ++run_.keys[headRow_[hand]].targeted;
}

void RunRecorder::OnHit(const Game& game, int hand, char letter, bool startedClock) {
    if (!recording_) return;
    const GameState& s = game.state;
    if (startedClock) {
        for (KeyFigures& key : run_.keys) key.misses = 0;
        run_.wrongKeyPairs.clear();
    }
    const int row = HistoryKeyRow(letter);
    if (row >= 0) {
        KeyFigures& key = run_.keys[row];
        ++key.hits;
        if (!startedClock && ClockRuns(s)) {
            // A head from before the clock started waited from the clock's first value.
            const int32_t ms = s.elapsedTime - std::max(headSince_[hand], 1);
            key.reactionMinMs = key.reactionCount == 0 ? ms : std::min(key.reactionMinMs, ms);
            key.reactionMaxMs = key.reactionCount == 0 ? ms : std::max(key.reactionMaxMs, ms);
            ++key.reactionCount;
            key.reactionSumMs += ms;
            ++key.reactionHistogram[ReactionBin(ms)];
        }
    }
    BecameHead(game, hand);
}

void RunRecorder::CountPair(int targetRow, const std::string& typed) {
    if (targetRow < 0) return;
    const std::string target = HistoryKeyLabel(targetRow);
    auto at = std::find_if(run_.wrongKeyPairs.begin(), run_.wrongKeyPairs.end(),
                           [&](const WrongKeyPair& p) { return p.target == target && p.typed == typed; });
    if (at == run_.wrongKeyPairs.end()) {
        run_.wrongKeyPairs.push_back({target, typed, 1});
    } else {
        ++at->count;
    }
}

void RunRecorder::OnWrongKey(const Game& game, int vk, int hand) {
    if (!recording_) return;
    const std::string typed = TypedKeyLabel(vk);
    if (hand >= 0) {
        const int row = HeadRow(game.state, hand);
        if (row >= 0) ++run_.keys[row].misses;
        CountPair(row, typed);
    } else {
        ++run_.keys[kOtherKeysRow].misses;
        CountPair(HeadRow(game.state, 0), typed);
        CountPair(HeadRow(game.state, 1), typed);
    }
}

void RunRecorder::OnFrame(const Game& game) {
    if (!recording_) return;
    const GameState& s = game.state;
    std::vector<float>& samples = run_.speedPerSecond;
    while (s.elapsedTime >= static_cast<int64_t>(samples.size() + 1) * kMsPerGameSecond &&
           samples.size() < kMaxSpeedSamples) {
        samples.push_back(s.speed);
    }
}

void RunRecorder::OnRunEnd(const Game& game, RunOutcome outcome) {
    if (!recording_) return;
    recording_ = false;
    const GameState& s = game.state;
    run_.outcome = outcome;
    run_.clockStarted = s.elapsedTime > 0;
    run_.runTimeMs = s.elapsedTime;
    const int32_t touches = int32_t{s.keyTally.touches[0]} + s.keyTally.touches[1];
    run_.resultSpeed = s.elapsedTime > 0 ? RunTypingSpeed(touches, s.elapsedTime) : 0;
    run_.rank = outcome == RunOutcome::Goal ? game.run.newRank : 0;
    run_.stageReached = s.stageIndex + 1;
    run_.distance = s.distance;
    run_.courseLength = s.courseLength;
    for (int hand = 0; hand < 2; ++hand) {
        run_.correctKeys[hand] = s.keyTally.touches[hand];
        run_.wrongKeys[hand] = s.keyTally.misses[hand];
    }
    std::sort(run_.wrongKeyPairs.begin(), run_.wrongKeyPairs.end(), [](const WrongKeyPair& a, const WrongKeyPair& b) {
        return HistoryKeyRow(a.target[0]) != HistoryKeyRow(b.target[0])
                   ? HistoryKeyRow(a.target[0]) < HistoryKeyRow(b.target[0])
                   : a.typed < b.typed;
    });
    game.platform.SaveRunHistory(run_);
}

}  // namespace kelo
