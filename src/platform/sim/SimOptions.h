#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Game.h"
#include "platform/sim/SimScript.h"

namespace kelo {

// The bot's pace: at most `keysPerSecond` taps a second of virtual time, each a wrong
// letter of the same hand with probability `missChance`.
struct BotOptions {
    double keysPerSecond = 5;
    double missChance = 0;
};

// Which presented frames are saved as PNG files.
struct PngFrameChoice {
    enum class Mode { All, List, Every };
    Mode mode = Mode::All;
    std::vector<int64_t> frames;  // Mode::List
    int64_t every = 1;            // Mode::Every: frames that are multiples of it
    bool Wants(int64_t frame) const;
};

// What the observer learns besides the game itself.
struct SimFrame {
    int64_t frame = 0;   // calls of WaitFrame so far
    uint32_t clock = 0;  // virtual clock when the frame was presented
};
using FrameObserver = std::function<void(const Game&, const SimFrame&)>;
using SoundObserver = std::function<void(int64_t frame, std::string_view command)>;

// Without --frames the simulation stops after this many frames at the latest (about two
// hours of play), and after kSafetyFramesPerRun more for every run asked with --runs.
constexpr int64_t kSafetyFrameLimit = 200000;
constexpr int64_t kSafetyFramesPerRun = 20000;

struct SimOptions {
    uint32_t seed = 1;
    std::string recordsDir = ".";
    uint32_t clockStart = 100000;
    uint32_t frameCost = 0;
    std::optional<int64_t> frames;  // stop at the (frames + 1)-th call of WaitFrame
    Screen start = Screen::Title;
    int course = 0;
    int difficulty = 0;
    std::vector<ScriptEvent> script;
    std::optional<BotOptions> bot;
    std::optional<int> runs;  // stop once this many runs have ended and been left
    std::string tracePath;    // empty: no trace
    std::string soundLogPath;
    std::string pngDir;
    PngFrameChoice pngFrames;
    FrameObserver observer;                        // after every presented frame
    SoundObserver soundObserver;                   // for every sound command, as sent
    bool keepSounds = true;                        // list them in SimResult::sounds
    int64_t safetyFrameLimit = kSafetyFrameLimit;  // --runs adds kSafetyFramesPerRun a run
    std::string language = "ja";                   // the texts' language (kLanguages)
    // Run history: the database every run is added to (empty: none is kept), and the
    // file to export it to instead of simulating ("-": standard output).
    std::string historyPath;
    std::string exportHistoryPath;
    // A digest of every presented frame, one line each (FrameDigest.h); empty: none.
    std::string frameDigestsPath;
    // --replay: plays a recording kept in the history database instead of a session of
    // its own: one run (by its run id) or a whole session (by its session id).
    std::string replayHistoryPath;
    std::optional<int64_t> replayRunId;
    std::optional<int64_t> replaySessionId;
};

struct CommandLine {
    SimOptions options;
    bool helpRequested = false;
};

// Parses kelo-sim's arguments (without the program name) and reads the --input script.
// Throws SimUsageError naming the first problem; nothing is written.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Checks the options that touch the file system (folders that must exist). Throws
// SimUsageError.
void ValidateOutputPlaces(const SimOptions& options);

const char* SimUsageText();

}  // namespace kelo
