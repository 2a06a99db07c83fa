#pragma once
// Changed: the original has nothing like it; the simulator is the port's own tool for
// checking the game frame by frame.
//
// The headless simulator as a library: runs the real game from Form_Load on with a
// virtual clock and scripted keys, and reports every presented frame and every sound
// command. kelo-sim is a thin command line around it; tests call it directly:
//
//   kelo::SimOptions options;
//   options.start = kelo::Screen::Run;            // enter a run after start-up
//   options.course = 3;
//   options.script = kelo::ParseScript("25 tap F\n60 tap J\n");
//   options.frames = 120;                          // stop at the 121st WaitFrame
//   options.observer = [&](const kelo::Game& game, const kelo::SimFrame& frame) {
//       if (frame.frame == 30) EXPECT_EQ(game.state.elapsedTime, 1);
//   };
//   kelo::SimResult result = kelo::RunSimulation(options);
//   // result.sounds lists every sound command with the frame it was sent in.
//
// Files (trace, sound log, PNG frames) are written only when their paths are set.
// Records are read from and written to options.recordsDir (default: current folder).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/SimOptions.h"
#include "platform/sim/SimPlatform.h"

namespace kelo {

struct SimSound {
    int64_t frame = 0;  // calls of WaitFrame before the command was sent
    std::string command;
};

// The exit status when the game ran to its end but a record save failed: runs of this
// simulation may be missing from the record file.
constexpr int kExitSaveFailed = 4;
// The exit status when an output file (--trace, --sound-log, --png) could not be
// written or closed whole; it wins over the others.
constexpr int kExitOutputFailed = 5;
// The exit status when a run history write or an export failed.
constexpr int kExitHistoryFailed = 6;
// The exit status when a replay asked something its recording does not hold there, or
// ran out of it.
constexpr int kExitReplayDiverged = 7;
// The exit status when a replay was refused before it played: no such run or session,
// no recording, a damaged one, or one of another game version.
constexpr int kExitReplayRefused = 8;

struct SimResult {
    SimEnd end = SimEnd::GameEnded;
    // 0; 1 without a usable font; 5 when an output failed; 3 stalled or at the safety
    // limit; otherwise 4 when a record save failed
    int exitCode = 0;
    std::string message;      // one line for stderr, empty when there is nothing to say
    std::string outputError;  // the first output that failed, in one line for stderr
    int64_t frameCalls = 0;
    int runsCompleted = 0;
    int failedSaves = 0;
    int failedHistoryWrites = 0;
    std::vector<SimSound> sounds;  // only with SimOptions::keepSounds
};

// Throws SimUsageError for options out of range or output files that cannot be created
// (before anything is written).
SimResult RunSimulation(const SimOptions& options);

// Writes options.historyPath to options.exportHistoryPath, reading only; returns the
// exit status (0, or kExitHistoryFailed after a line on stderr).
int ExportHistory(const SimOptions& options);

}  // namespace kelo
