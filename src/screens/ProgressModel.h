#pragma once
// What the progress screen shows and how a practice run weights its letters: plain
// data and pure functions, so both can be checked without a window.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/GameState.h"
#include "app/KeyLayout.h"
#include "draw/Image.h"
#include "history/RunHistory.h"

namespace kelo {

// One typed key over the runs summed: how often it was the target and typed, how often
// another key was typed while it was the target, and its reaction times.
struct KeyProgress {
    int32_t hits = 0;
    int32_t misses = 0;
    int32_t reactions = 0;        // hits with a measured reaction time
    int64_t reactionMsTotal = 0;  // their sum

    // Summed wide: the counts come from the history or a replay, either of which may be damaged.
    int64_t Targets() const { return int64_t{hits} + misses; }
    double MissRate() const {
        return Targets() > 0 ? static_cast<double>(misses) / static_cast<double>(Targets()) : 0.0;
    }
    std::optional<double> MeanReactionMs() const {
        if (reactions <= 0) return std::nullopt;
        return static_cast<double>(reactionMsTotal) / reactions;
    }
};

// A wrong key typed while `target` was the target, `count` times (TypedKeyIndex values).
struct KeyMixUp {
    int target = 0;
    int typed = 0;
    int32_t count = 0;
};

// One run of the plot, oldest first.
struct RunPoint {
    double keysPerMinute = 0;
    double accuracy = 0;  // hits / (hits + misses), 0..1
    bool goal = false;    // reached the goal; otherwise timed out or left
    bool practice = false;
};

struct ProgressSummary {
    int32_t runs = 0;
    int64_t practisedMs = 0;
    std::array<KeyProgress, kTypedKeyCount> keys{};
    std::vector<KeyMixUp> wrongPairs;  // most frequent first, at most three
    std::vector<RunPoint> recent;      // the last thirty runs, oldest first
    // Set when the history could not be read: the screen shows no runs and says so.
    bool unreadable = false;
};

constexpr int kPlottedRuns = 30;
constexpr int kShownWrongPairs = 3;

// The typed keys a course can ask for: the largest pool of each hand it ever uses (all
// keys for course -1, all courses).
std::array<bool, kTypedKeyCount> CourseKeys(int course);

// The key's heatmap value, 0 (good) to 1 (worst) on a fixed scale, or nothing without
// data: miss rate 0 % to 40 %, mean reaction 250 ms to 750 ms.
enum class HeatView : uint8_t { MissRate = 0, Reaction = 1 };
std::optional<double> HeatValue(const KeyProgress& key, HeatView view);
// Blue through yellow to red.
Colour HeatColour(double value);

// The key with the highest miss rate and the one slowest against the mean of all
// keys, among keys with enough samples; "Q 71 % · P +180 ms", empty with too little data.
std::string WeakestKeysText(const ProgressSummary& summary);

// "1:05:09" or "4:03" for hours, minutes and seconds.
std::string FormatDuration(int64_t ms);

// Practice weights. Every key of the hand's pool weighs
//   1 + 8 * miss rate + 4 * max(0, mean reaction / mean of all keys - 1),
// capped at 10, so a key missed one time in four comes three times as often as a clean
// one at average speed, and no key falls below a tenth of the heaviest (keys without
// data weigh 1). Indexed by TypedKeyIndex.
std::array<float, kTypedKeyCount> PracticeWeights(const ProgressSummary& summary);

// The summary of course `course` (-1: all courses) on `difficulty`, as the platform
// reads it from the run history; marked unreadable when there is none.
class Platform;
ProgressSummary ReadProgressSummary(Platform& platform, int course, Difficulty difficulty);
// The history's sums as the screen shows them: pairs of two typed keys only (at most
// three), and the last runs whose clock started.
ProgressSummary SummaryOfAggregate(const ProgressAggregate& aggregate);

}  // namespace kelo
