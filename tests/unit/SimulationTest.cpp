// The simulator driving the real screens: stopping rules, the bot, records.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/sim/SimError.h"
#include "platform/sim/SimTrace.h"
#include "platform/sim/Simulation.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

class SimulationTest : public ::testing::Test {
protected:
    SimulationTest() : dir_(fs::temp_directory_path() / ("kelo-simulation-" + std::to_string(::getpid()))) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        options.recordsDir = dir_.string();
    }
    ~SimulationTest() override { fs::remove_all(dir_); }

    std::vector<int64_t> SoundFrames(const SimResult& result, const std::string& command) const {
        std::vector<int64_t> frames;
        for (const SimSound& sound : result.sounds)
            if (sound.command == command) frames.push_back(sound.frame);
        return frames;
    }

    fs::path dir_;
    SimOptions options;
};

TEST_F(SimulationTest, FramesOptionStopsBeforeTheNextFrameWait) {
    options.start = Screen::Run;
    options.frames = 75;
    std::vector<int64_t> seen;
    options.observer = [&](const Game&, const SimFrame& frame) { seen.push_back(frame.frame); };
    SimResult result = RunSimulation(options);
    EXPECT_EQ(result.end, SimEnd::FrameLimit);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.frameCalls, 75);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 75);
    EXPECT_FALSE(fs::exists(dir_ / "kelodt.hsc"));  // stopping is not closing: nothing saved
}

TEST_F(SimulationTest, ObserverSeesStartScreenCourseAndClock) {
    options.start = Screen::Run;
    options.course = 4;
    options.difficulty = 1;
    options.clockStart = 0xFFFFFF00u;
    options.frames = 40;
    int runFrames = 0;
    uint32_t lastClock = 0;
    options.observer = [&](const Game& game, const SimFrame& frame) {
        EXPECT_EQ(game.screen, Screen::Run);
        EXPECT_EQ(game.state.courseIndex, 4);
        EXPECT_EQ(game.state.difficulty, Difficulty::Hard);
        lastClock = frame.clock;
        ++runFrames;
    };
    RunSimulation(options);
    EXPECT_EQ(runFrames, 40);
    EXPECT_EQ(lastClock, 0xFFFFFF00u + 39 * 33);  // wrapped past 2^32
}

TEST_F(SimulationTest, CloseEventEndsTheGameWithCloseCommandsAndNoSave) {
    options.start = Screen::Run;
    options.script = ParseScript("30 close\n");
    SimResult result = RunSimulation(options);
    EXPECT_EQ(result.end, SimEnd::GameEnded);
    EXPECT_EQ(result.frameCalls, 30);
    EXPECT_EQ(result.sounds.back().command, "close midChime");
    EXPECT_EQ(result.sounds.back().frame, 30);
    EXPECT_FALSE(fs::exists(dir_ / "kelodt.hsc"));
}

TEST_F(SimulationTest, HeldKeyThatNothingReleasesEndsAsAStall) {
    // Space held on the title from frame 30 on is taken there; course select then waits
    // for Space to be released before its first frame, and no event is left that could.
    options.script = ParseScript("30 down SPACE\n");
    options.safetyFrameLimit = 500;
    SimResult result = RunSimulation(options);
    EXPECT_EQ(result.end, SimEnd::Stalled);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.message.find("waits for a key"), std::string::npos);
    EXPECT_EQ(result.frameCalls, 30 + 21 + 1) << "the title's frames, its closing wipe and pause";
}

TEST_F(SimulationTest, SafetyLimitEndsAGameThatNeverStops) {
    options.safetyFrameLimit = 60;
    SimResult result = RunSimulation(options);
    EXPECT_EQ(result.end, SimEnd::SafetyLimit);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.frameCalls, 60);
}

TEST_F(SimulationTest, BotTypesARunToTheGoalAtTheAllowedPaceAndLeavesIt) {
    options.start = Screen::Run;
    options.course = 3;
    options.bot = BotOptions{5, 0};
    options.runs = 1;
    GameState lastRunState;
    options.observer = [&](const Game& game, const SimFrame&) {
        if (game.screen == Screen::Run) lastRunState = game.state;
    };
    SimResult result = RunSimulation(options);
    EXPECT_EQ(result.end, SimEnd::RunLimit);
    EXPECT_EQ(result.runsCompleted, 1);
    EXPECT_EQ(SoundFrames(result, "play wavGoal notify from 0").size(), 1u);
    EXPECT_EQ(lastRunState.keyTally.misses[0] + lastRunState.keyTally.misses[1], 0);
    EXPECT_GT(lastRunState.courseRecords[3].times[0], 0);
    EXPECT_TRUE(fs::exists(dir_ / "kelodt.hsc"));

    // Five taps a second at most: hits are at least 200 ms, so 7 frames of 33 ms, apart.
    std::vector<int64_t> hits = SoundFrames(result, "play wavTip notify from 0");
    ASSERT_GT(hits.size(), 20u);
    int64_t closest = INT64_MAX;
    for (size_t i = 1; i < hits.size(); ++i) closest = std::min(closest, hits[i] - hits[i - 1]);
    EXPECT_EQ(closest, 7);
}

TEST_F(SimulationTest, BotMissesSometimesWhenAskedTo) {
    options.start = Screen::Run;
    options.course = 4;
    options.bot = BotOptions{8, 0.3};
    options.frames = 600;
    GameState last;
    options.observer = [&](const Game& game, const SimFrame&) { last = game.state; };
    RunSimulation(options);
    const int hits = last.keyTally.touches[0] + last.keyTally.touches[1];
    const int misses = last.keyTally.misses[0] + last.keyTally.misses[1];
    EXPECT_GT(misses, hits / 5);
    EXPECT_LT(misses, hits);
}

TEST_F(SimulationTest, BotPlaysFromTheTitleThroughSeveralRunsAndRecordsSurvive) {
    options.bot = BotOptions{10, 0};
    options.runs = 2;
    std::vector<Screen> screens;
    options.observer = [&](const Game& game, const SimFrame&) {
        if (screens.empty() || screens.back() != game.screen) screens.push_back(game.screen);
    };
    SimResult first = RunSimulation(options);
    EXPECT_EQ(first.runsCompleted, 2);
    std::vector<Screen> expected{Screen::Title, Screen::Select, Screen::Run, Screen::Select, Screen::Run};
    EXPECT_EQ(screens, expected);

    // A second simulation in the same folder loads what the first one saved.
    options.runs.reset();
    options.bot.reset();
    options.frames = 1;
    options.start = Screen::Select;
    CourseRecord loaded;
    options.observer = [&](const Game& game, const SimFrame&) { loaded = game.state.courseRecords[0]; };
    RunSimulation(options);
    EXPECT_GT(loaded.times[0], 0);
    EXPECT_GT(loaded.times[1], 0);
}

TEST_F(SimulationTest, SameSeedSameGame) {
    options.bot = BotOptions{6, 0.2};
    options.frames = 400;
    options.seed = 77;
    std::vector<float> speeds;
    options.observer = [&](const Game& game, const SimFrame&) { speeds.push_back(game.state.speed); };
    RunSimulation(options);
    std::vector<float> first = speeds;
    speeds.clear();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    RunSimulation(options);
    EXPECT_EQ(first, speeds);
}

TEST_F(SimulationTest, RejectsOptionsOutOfRangeBeforeWriting) {
    options.course = 9;
    options.tracePath = (dir_ / "t.json").string();
    EXPECT_THROW(RunSimulation(options), SimUsageError);
    EXPECT_FALSE(fs::exists(dir_ / "t.json"));
}

// An output place that passes the folder checks but cannot be opened is found only
// while the outputs are being made; the ones made before it must leave no trace.
TEST_F(SimulationTest, OutputThatCannotBeMadeLeavesTheOtherOutputsUntouched) {
    const fs::path oldTrace = dir_ / "old.json";
    { std::ofstream(oldTrace) << "kept\n"; }
    const fs::path unwritable = "/proc/kelo-sim-cannot-write-here";
    options.frames = 3;

    options.tracePath = oldTrace.string();
    options.soundLogPath = (dir_ / "new.log").string();
    options.pngDir = unwritable.string();
    EXPECT_THROW(RunSimulation(options), SimUsageError);

    options.tracePath = (dir_ / "new.json").string();
    options.soundLogPath = unwritable.string();
    options.pngDir = (dir_ / "frames").string();
    EXPECT_THROW(RunSimulation(options), SimUsageError);

    std::ifstream kept(oldTrace);
    std::string content((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "kept\n");
    EXPECT_FALSE(fs::exists(dir_ / "new.log"));
    EXPECT_FALSE(fs::exists(dir_ / "new.json"));
    EXPECT_FALSE(fs::exists(dir_ / "frames"));
}

TEST_F(SimulationTest, AnExistingOutputFileIsReplacedWhole) {
    const fs::path trace = dir_ / "t.json";
    { std::ofstream(trace) << std::string(100000, '~'); }
    options.frames = 3;
    options.tracePath = trace.string();
    RunSimulation(options);
    std::ifstream in(trace);
    std::string header, first;
    std::getline(in, header);
    std::getline(in, first);
    EXPECT_EQ(header, TraceHeader());
    EXPECT_EQ(first.rfind("{\"frame\":", 0), 0u);
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '~'), 0);
}

}  // namespace
}  // namespace kelo

namespace kelo {
namespace {

TEST_F(SimulationTest, ARunEnteredAtStartUpHasTheStarFieldCourseSelectWouldHaveFilled) {
    options.course = 7;  // its star band, 300..20300, excludes an unfilled field's y = 0
    options.frames = 1;
    std::vector<Star> fromSelect, fromRun;
    options.start = Screen::Select;
    options.observer = [&](const Game& game, const SimFrame&) {
        fromSelect.assign(game.state.stars.begin(), game.state.stars.end());
    };
    RunSimulation(options);
    options.start = Screen::Run;
    options.observer = [&](const Game& game, const SimFrame&) {
        fromRun.assign(game.state.stars.begin(), game.state.stars.end());
    };
    RunSimulation(options);

    ASSERT_EQ(fromRun.size(), fromSelect.size());
    for (size_t i = 0; i < fromRun.size(); ++i) {
        ASSERT_GE(fromRun[i].y, 300.0f) << "star " << i;
        ASSERT_EQ(fromRun[i].x, fromSelect[i].x) << "star " << i;
        ASSERT_EQ(fromRun[i].y, fromSelect[i].y) << "star " << i;
    }
}

}  // namespace
}  // namespace kelo
