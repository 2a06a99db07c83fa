#include "base/Numeric.h"
#include "history/RunHistory.h"
#include "platform/Platform.h"
#include "screens/ProgressModel.h"

namespace kelo {

ProgressSummary SummaryOfAggregate(const ProgressAggregate& aggregate) {
    ProgressSummary summary;
    summary.unreadable = !aggregate.available;
    if (!aggregate.available) return summary;
    summary.runs = Saturate32(aggregate.runCount);
    summary.practisedMs = aggregate.totalRunTimeMs;
    for (int k = 0; k < kTypedKeyCount; ++k) {
        const KeyFigures& figures = aggregate.keys[HistoryKeyRow(TypedKeyChar(k))];
        summary.keys[k] = {figures.hits, figures.misses, figures.reactionCount, figures.reactionSumMs};
    }
    // Only pairs of two typed keys can be drawn as arrows; the stored order is kept.
    for (const WrongKeyPair& pair : aggregate.wrongKeyPairs) {
        if (static_cast<int>(summary.wrongPairs.size()) == kShownWrongPairs) break;
        if (pair.target.size() != 1 || pair.typed.size() != 1) continue;
        const int target = TypedKeyIndex(pair.target[0]), typed = TypedKeyIndex(pair.typed[0]);
        if (target < 0 || typed < 0) continue;
        summary.wrongPairs.push_back({target, typed, pair.count});
    }
    // Runs left before their clock started typed nothing worth a point.
    for (const RunSummary& run : aggregate.lastRuns) {
        if (run.runTimeMs <= 0) continue;
        summary.recent.push_back(
            {run.resultSpeed / 100.0, run.Accuracy().value_or(0.0), run.outcome == RunOutcome::Goal, run.practice});
    }
    return summary;
}

ProgressSummary ReadProgressSummary(Platform& platform, int course, Difficulty difficulty) {
    ProgressQuery query;
    if (course >= 0) query.course = course;
    query.difficulty = difficulty;
    return SummaryOfAggregate(platform.ReadProgress(query));
}

}  // namespace kelo
