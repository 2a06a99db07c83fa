#pragma once
// What the game remembers of every run, and the sums the progress screen reads back.
//
// Keys: the 28 target letters A-Z, "," and "." each have a row of figures; the keys the
// run tallies for neither hand (Space, Escape, Shift, ...) share one more row, "other".
// Times are game-clock milliseconds (GameState::elapsedTime) unless said otherwise.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/GameState.h"

namespace kelo {

inline constexpr std::string_view kHistoryLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ,.";
inline constexpr int kHistoryLetterCount = 28;
inline constexpr int kOtherKeysRow = 28;  // keys tallied for neither hand
inline constexpr int kHistoryKeyRows = 29;

// Row of a target letter ('A'..'Z', ',' or '.'), or -1.
int HistoryKeyRow(char letter);
// "A".."Z", ",", "." or "other".
std::string HistoryKeyLabel(int row);
// The name a typed key's virtual-key code is stored under: "A".."Z", ",", ".", "Space",
// "Escape", "Shift", ... and "vk<N>" for any other.
std::string TypedKeyLabel(int vk);

// Reaction times are counted in bins 10 ms wide: bin i holds [10 i, 10 i + 10) ms, the
// last bin everything from 2000 ms on.
inline constexpr int kReactionBinMs = 10;
inline constexpr int kReactionBins = 201;
using ReactionHistogram = std::array<int32_t, kReactionBins>;
int ReactionBin(int32_t ms);
// The median as the middle of the bin that holds it (lower median for an even count);
// nothing for an empty histogram.
std::optional<int32_t> HistogramMedianMs(const ReactionHistogram& histogram);

// How a run ended. A run whose clock never started ends by Escape or closing.
enum class RunOutcome : uint8_t { Goal = 0, TimeOut = 1, Escape = 2, WindowClosed = 3 };
// "goal", "time-out", "escape", "closed".
const char* RunOutcomeName(RunOutcome outcome);
std::optional<RunOutcome> RunOutcomeFromName(std::string_view name);

// A moment of the wall clock: milliseconds since 1970-01-01 00:00 UTC and the local
// time zone's offset from UTC at that moment.
struct WallTime {
    int64_t unixMs = 0;
    int32_t utcOffsetMinutes = 0;
    bool operator==(const WallTime&) const = default;
};
// The local date of `time`, "YYYY-MM-DD".
std::string LocalDate(const WallTime& time);

// One key's figures in one run, or summed over runs.
//   targeted: times the letter became the head of its hand's queue (the run's start
//             counts for the first letter of each hand);
//   hits:     correct keys of that letter;
//   misses:   wrong keys charged to it: a wrong key of one hand's keys is charged to
//             that hand's target letter, as the run's tally charges it to the hand (so
//             misses before the run's clock starts are forgiven, as the tally forgets
//             them); keys of neither hand are charged to the "other" row;
//   reaction: game-clock time from becoming the head of its queue to its correct key,
//             for hits while the clock runs, not the one that starts it (time before
//             the clock starts does not count).
struct KeyFigures {
    int32_t targeted = 0;
    int32_t hits = 0;
    int32_t misses = 0;
    int32_t reactionCount = 0;
    int64_t reactionSumMs = 0;
    int32_t reactionMinMs = 0;  // meaningful when reactionCount > 0
    int32_t reactionMaxMs = 0;
    ReactionHistogram reactionHistogram{};
    bool operator==(const KeyFigures&) const = default;
};

// A wrong key and the target it was typed against, counted. A key of one hand's keys
// is typed against that hand's target; a key of neither hand against both targets
// (one pair each).
struct WrongKeyPair {
    std::string target;  // HistoryKeyLabel of a letter row
    std::string typed;   // TypedKeyLabel
    int32_t count = 0;
    bool operator==(const WrongKeyPair&) const = default;
};

// One run, however it ended.
struct RunHistory {
    WallTime start;           // when the run's screen opened
    std::string gameVersion;  // filled by the store that keeps it
    std::string layoutName;   // keyboard layout at the start ("us", "fr", ...)
    int course = 0;           // 0..8
    Difficulty difficulty = Difficulty::Normal;
    RunOutcome outcome = RunOutcome::Escape;
    bool practice = false;
    bool clockStarted = false;  // a first correct key started the run's clock
    int32_t runTimeMs = 0;      // the game clock at the end (0 when it never started)
    int32_t resultSpeed = 0;    // hundredths of keys per minute, as the result panel shows it
    int rank = 0;               // place entered in the best five, 1..5; 0 for none
    int stageReached = 1;       // 1..4
    float distance = 0;
    int32_t courseLength = 0;
    PerHand<int32_t> correctKeys{};  // the run's tally at its end
    PerHand<int32_t> wrongKeys{};
    std::vector<float> speedPerSecond;  // the craft's speed at each game second
    std::array<KeyFigures, kHistoryKeyRows> keys{};
    std::vector<WrongKeyPair> wrongKeyPairs;  // by target, then typed key
    // The recording that holds the run, when the session was recorded: the session's
    // key and the segment that starts with this run. Set by the recording platform.
    std::string replaySession;
    int64_t replaySegment = -1;
};

// Which runs the progress figures sum: one course on one difficulty, or every run.
struct ProgressQuery {
    std::optional<int> course;  // nothing: all courses and both difficulties
    Difficulty difficulty = Difficulty::Normal;
    bool includePractice = true;
};

// One of the last runs, for the progress screen's list and curve.
struct RunSummary {
    int64_t startUnixMs = 0;
    int course = 0;
    Difficulty difficulty = Difficulty::Normal;
    RunOutcome outcome = RunOutcome::Escape;
    bool practice = false;
    int32_t runTimeMs = 0;
    int32_t resultSpeed = 0;  // hundredths of keys per minute
    int32_t correctKeys = 0;  // both hands
    int32_t wrongKeys = 0;
    // Correct keys over all keys, 0..1; nothing when no key was typed.
    std::optional<double> Accuracy() const;
};

inline constexpr int kProgressLastRuns = 30;

// The progress screen's figures for a ProgressQuery.
struct ProgressAggregate {
    bool available = false;  // false when no history could be read
    int64_t runCount = 0;
    int64_t totalRunTimeMs = 0;        // game clock summed over the runs
    std::vector<RunSummary> lastRuns;  // at most kProgressLastRuns, oldest first
    // Summed over the runs; min and max over the runs that have reactions.
    std::array<KeyFigures, kHistoryKeyRows> keys{};
    std::vector<WrongKeyPair> wrongKeyPairs;  // most frequent first
};

}  // namespace kelo
