// Whole runs in the simulator: scripted keys or the bot, checked frame by frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "platform/sim/Simulation.h"

namespace kelo {
namespace {

struct RunFrame {
    int64_t frame = 0;
    uint32_t clock = 0;
    Screen screen = Screen::None;
    GameState state;
    RunLocals run;
    bool keyHandlers = false;
};

// A fresh records folder for every simulation, so that no run sees another's records.
std::string FreshRecordsDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelo-run-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::filesystem::temp_directory_path().string();
}

class RunTrace {
public:
    RunTrace(int course, int difficulty) {
        options.start = Screen::Run;
        options.course = course;
        options.difficulty = difficulty;
        options.recordsDir = FreshRecordsDir();
    }
    ~RunTrace() {
        std::error_code ignored;
        std::filesystem::remove_all(options.recordsDir, ignored);
    }

    RunTrace& Script(const std::string& text) {
        options.script = ParseScript(text);
        return *this;
    }
    RunTrace& KeepImage(int64_t frame) {
        imageFrames_.insert(frame);
        return *this;
    }

    void Run() {
        options.observer = [this](const Game& game, const SimFrame& at) {
            frames.push_back({at.frame, at.clock, game.screen, game.state, game.run, game.RunTakesKeyEvents()});
            frames.back().state.stars = {};
            if (imageFrames_.count(at.frame)) images[at.frame] = game.PicMain.image;
            if (onFrame) onFrame(game);
        };
        result = RunSimulation(options);
    }

    const RunFrame& At(int64_t frame) const {
        auto found = std::find_if(frames.begin(), frames.end(), [&](const RunFrame& f) { return f.frame == frame; });
        if (found == frames.end()) throw std::out_of_range("no frame " + std::to_string(frame));
        return *found;
    }
    std::vector<RunFrame> RunFrames() const {
        std::vector<RunFrame> run;
        std::copy_if(frames.begin(), frames.end(), std::back_inserter(run),
                     [](const RunFrame& f) { return f.screen == Screen::Run; });
        return run;
    }
    std::vector<int64_t> SoundFrames(const std::string& command) const {
        std::vector<int64_t> at;
        for (const SimSound& sound : result.sounds) {
            if (sound.command == command) at.push_back(sound.frame);
        }
        return at;
    }
    std::vector<std::string> SoundsOfFrame(int64_t frame) const {
        std::vector<std::string> commands;
        for (const SimSound& sound : result.sounds) {
            if (sound.frame == frame) commands.push_back(sound.command);
        }
        return commands;
    }
    int Touches(int64_t frame) const {
        const KeyTally& tally = At(frame).state.keyTally;
        return tally.touches[0] + tally.touches[1];
    }

    SimOptions options;
    std::function<void(const Game&)> onFrame;  // after each presented frame, for pixel checks
    std::vector<RunFrame> frames;
    std::map<int64_t, Image> images;
    SimResult result;

private:
    std::set<int64_t> imageFrames_;
};

// The ten letters each hand starts with; they are its first ten targets.
std::array<std::string, 2> InitialQueues(int course, int difficulty) {
    RunTrace probe(course, difficulty);
    probe.options.frames = 1;
    probe.Run();
    return probe.At(1).state.targetQueue;
}

std::string KeyName(char letter) {
    if (letter == ',') return "COMMA";
    if (letter == '.') return "PERIOD";
    return std::string(1, letter);
}

const std::string kTip = "play wavTip notify from 0";

TEST(RunTrace, UntypedRunWaitsUntilEscape) {
    RunTrace trace(4, 0);
    trace.Script("200 tap ESCAPE\n").KeepImage(221);
    trace.options.frames = 240;
    trace.Run();

    EXPECT_EQ(trace.At(1).state.countdown, 79);
    EXPECT_EQ(trace.At(60).state.countdown, 20);
    for (int64_t frame = 60; frame < 200; ++frame) {
        const RunFrame& f = trace.At(frame);
        ASSERT_EQ(f.state.countdown, 20) << frame;
        ASSERT_EQ(f.state.elapsedTime, 0) << frame;
        ASSERT_EQ(f.state.stageTime[0], 15 * 990) << frame;
        ASSERT_EQ(f.run.endTimer, 0) << frame;
        ASSERT_TRUE(f.keyHandlers);
    }
    EXPECT_EQ(trace.SoundFrames("play midChime notify from 0"), (std::vector<int64_t>{0}));
    EXPECT_TRUE(trace.SoundFrames("play wavGop notify from 0").empty());

    // The curtain closes over frames 201..221, then a 500 ms pause before course select.
    EXPECT_EQ(trace.At(221).screen, Screen::Run);
    EXPECT_EQ(trace.At(221).state.loopIndex, 400);
    const Image& curtain = trace.images.at(221);
    EXPECT_TRUE(std::all_of(curtain.Pixels().begin(), curtain.Pixels().end(), [](Colour c) { return c == kBlack; }));
    const RunFrame& select = trace.frames.back();
    EXPECT_EQ(select.screen, Screen::Select);
    EXPECT_FALSE(select.keyHandlers);
    const auto firstSelect = std::find_if(trace.frames.begin(), trace.frames.end(),
                                          [](const RunFrame& f) { return f.screen == Screen::Select; });
    ASSERT_NE(firstSelect, trace.frames.end());
    EXPECT_GE(firstSelect->clock - trace.At(221).clock, 500u);
}

TEST(RunTrace, EscapeDuringTheOpeningAndCloseDuringTheCurtain) {
    RunTrace escape(6, 1);
    escape.Script("5 tap ESCAPE\n");
    escape.options.frames = 60;
    escape.Run();
    EXPECT_EQ(escape.At(26).screen, Screen::Run);
    EXPECT_EQ(escape.frames.back().screen, Screen::Select);

    RunTrace closed(6, 1);
    closed.Script("5 tap ESCAPE\n12 close\n");
    closed.Run();
    EXPECT_EQ(closed.result.end, SimEnd::GameEnded);
    EXPECT_EQ(closed.result.frameCalls, 12);
    EXPECT_EQ(closed.frames.back().frame, 11);
    EXPECT_EQ(closed.frames.back().state.loopIndex, 100);
}

TEST(RunTrace, FirstKeyStartsTheClockWhichRunsOnAcrossTheClockWrap) {
    RunTrace trace(0, 0);  // right hand first, J
    trace.Script("30 tap J\n70 tap J\n");
    trace.options.clockStart = 4294967295u - 72 * 33;  // wraps around frame 73
    trace.options.frames = 80;
    trace.Run();

    EXPECT_EQ(trace.Touches(69), 0);  // J typed during the countdown is not a hit
    EXPECT_EQ(trace.At(69).state.keyTally.misses[1], 0);
    EXPECT_EQ(trace.At(70).state.elapsedTime, 1);
    EXPECT_EQ(trace.At(70).state.countdown, 20);
    EXPECT_EQ(trace.SoundsOfFrame(70),
              (std::vector<std::string>{"play wavGop notify from 0", "play midBGM2 from 0", kTip}));
    EXPECT_EQ(trace.At(70).run.frameTime, 33);
    ASSERT_LT(trace.At(76).clock, trace.At(70).clock);  // the clock wrapped meanwhile
    for (int64_t frame = 71; frame <= 80; ++frame) {
        const RunFrame& f = trace.At(frame);
        EXPECT_EQ(f.state.elapsedTime, 1 + 33 * (frame - 70)) << frame;
        EXPECT_EQ(f.state.stageTime[0], 4950 - 33 * (frame - 70)) << frame;
        EXPECT_EQ(f.run.frameTime, 33) << frame;
    }
    EXPECT_EQ(trace.At(71).state.countdown, 19);
}

TEST(RunTrace, HeldKeysScoreOnceAndWrongKeysBlockUntilAKeyGoesUp) {
    RunTrace trace(0, 0);  // F and J only, strictly alternating, right hand first
    trace.Script(
        "70 tap J\n"
        "75 down F\n80 tap J\n90 up F\n"  // J while F is held: neither hit nor miss
        "95 tap J\n"
        "100 down K\n103 down F\n110 up K\n112 up F\n");
    trace.options.frames = 115;
    trace.Run();

    EXPECT_EQ(trace.At(75).state.keyTally.touches[0], 1);
    EXPECT_EQ(trace.At(94).state.keyTally, (KeyTally{{1, 1}, {0, 0}}));
    EXPECT_EQ(trace.At(89).state.keyLatch, KeyLatch::CorrectKeyHeld);
    EXPECT_EQ(trace.At(95).state.keyTally.touches[1], 2);

    const float before = trace.At(99).state.speed;
    const RunFrame& miss = trace.At(100);
    EXPECT_EQ(miss.state.keyTally.misses[1], 1);
    EXPECT_EQ(miss.state.keyLatch, KeyLatch::WrongKeyHeld);
    EXPECT_LT(miss.state.speed, before - 0.4f);
    EXPECT_EQ(trace.At(109).state.keyTally.touches[0], 1);  // F held down but blocked
    EXPECT_EQ(trace.At(110).state.keyTally.touches[0], 2);  // K goes up: F scores
    EXPECT_EQ(trace.SoundFrames(kTip), (std::vector<int64_t>{70, 75, 95, 110}));
}

TEST(RunTrace, HandsMustAlternateWithBothPeriodsTwo) {
    const auto queue = InitialQueues(3, 0);  // left hand first
    const std::string left0 = KeyName(queue[0][0]), left1 = KeyName(queue[0][1]);
    const std::string right0 = KeyName(queue[1][0]), right1 = KeyName(queue[1][1]);
    RunTrace trace(3, 0);
    trace.Script("70 tap " + left0 + "\n74 tap " + left1 + "\n78 tap " + right0 + "\n82 tap " + right1 + "\n86 tap " +
                 left1 + "\n");
    trace.options.frames = 90;
    trace.Run();

    EXPECT_EQ(trace.At(70).state.handWait, (std::array<uint8_t, 2>{1, 0}));
    const RunFrame& leftAgain = trace.At(74);
    EXPECT_EQ(leftAgain.state.keyTally, (KeyTally{{1, 0}, {1, 0}}));
    EXPECT_EQ(leftAgain.state.missShake[0], 9);  // set to 10 by the key, 9 after its hand step
    EXPECT_EQ(trace.At(78).state.keyTally, (KeyTally{{1, 1}, {1, 0}}));
    EXPECT_EQ(trace.At(82).state.keyTally, (KeyTally{{1, 1}, {1, 1}}));
    EXPECT_EQ(trace.At(86).state.keyTally, (KeyTally{{2, 1}, {1, 1}}));
    EXPECT_EQ(trace.At(86).state.handWait, (std::array<uint8_t, 2>{1, 0}));
}

// The bot types every target it may, fast; the run must reach the goal through its
// checkpoints, rank itself and be left with Space.
class GoalRun : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(GoalRun, ReachesTheGoalAndLeavesWithSpace) {
    const auto [course, difficulty] = GetParam();
    RunTrace trace(course, difficulty);
    trace.options.bot = BotOptions{25, 0};
    trace.options.runs = 1;
    trace.Run();
    SCOPED_TRACE("course " + std::to_string(course) + " difficulty " + std::to_string(difficulty));

    const std::vector<RunFrame> run = trace.RunFrames();
    ASSERT_FALSE(run.empty());
    const RunFrame& last = run.back();
    EXPECT_GE(last.state.distance, last.state.courseLength);
    EXPECT_GT(last.state.stageTime[last.state.stageIndex], 0);
    EXPECT_GE(last.run.endTimer, 179);
    EXPECT_EQ(last.run.newRank, 1);
    EXPECT_EQ(trace.result.end, SimEnd::RunLimit);  // left with Space, into course select
    EXPECT_EQ(trace.result.runsCompleted, 1);
    EXPECT_EQ(last.state.checkpointDistance[last.state.stageIndex], last.state.courseLength);

    const auto goal = trace.SoundFrames("play wavGoal notify from 0");
    ASSERT_EQ(goal.size(), 1u);
    EXPECT_EQ(trace.At(goal[0]).run.endTimer, 1);
    EXPECT_EQ(trace.At(goal[0]).state.courseRecords[course].times[0], last.state.elapsedTime);
    EXPECT_EQ(trace.SoundFrames("play wavExtend notify from 0").size(), static_cast<size_t>(last.state.stageIndex));
    EXPECT_EQ(trace.SoundFrames(kTip).size(), static_cast<size_t>(trace.Touches(goal[0])));
    const std::string music = "play midBGM" + std::to_string(last.state.bgmIndex + 1) + " from 0";
    EXPECT_EQ(trace.SoundFrames(music).size(), 1u);

    int32_t stage = 0;
    for (const RunFrame& f : run) {
        ASSERT_GE(f.state.stageIndex, stage);
        stage = f.state.stageIndex;
        if (f.state.extendTimer == 50) {
            EXPECT_GT(f.state.stageTime[stage], 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCourse, GoalRun,
                         ::testing::Values(std::pair{0, 0}, std::pair{1, 0}, std::pair{2, 0}, std::pair{3, 0},
                                           std::pair{4, 0}, std::pair{5, 0}, std::pair{6, 0}, std::pair{7, 0},
                                           std::pair{8, 0}, std::pair{8, 1}, std::pair{2, 1}));

// One key starts the clock, then nothing: each course times out in its first stage, and
// Space leaves from the 60th frame of the time out on.
TEST(RunTrace, EveryCourseTimesOut) {
    for (int course = 0; course < kCourseCount; ++course) {
        SCOPED_TRACE("course " + std::to_string(course));
        RunTrace probe(course, 1);
        probe.options.frames = 1;
        probe.Run();
        const GameState& start = probe.At(1).state;
        const int hand = start.handWait[0] != 0 ? 1 : 0;
        // 33 ms frames from the key at frame 61; the stage time is a multiple of 33.
        const int64_t out = 61 + start.stageTime[0] / 33;
        RunTrace trace(course, 1);
        trace.Script("61 tap " + KeyName(start.targetQueue[hand][0]) + "\n" + std::to_string(out + 40) +
                     " tap SPACE\n" + std::to_string(out + 58) + " tap SPACE\n" + std::to_string(out + 59) +
                     " tap SPACE\n");
        trace.options.frames = out + 100;
        trace.Run();

        EXPECT_EQ(trace.At(61).state.elapsedTime, 1);
        EXPECT_EQ(trace.At(out - 1).state.stageTime[0], 33);
        EXPECT_EQ(trace.At(out).state.stageTime[0], 0);
        EXPECT_EQ(trace.At(out).state.stageIndex, 0);
        EXPECT_EQ(trace.At(out).run.endTimer, 3);
        EXPECT_EQ(trace.At(out + 58).run.endTimer, 177);
        EXPECT_EQ(trace.At(out + 58).screen, Screen::Run);
        // Space at frame out + 59 leaves: the next frames are the closing curtain.
        EXPECT_EQ(trace.At(out + 60).run.endTimer, 180);
        EXPECT_EQ(trace.At(out + 60).state.loopIndex, 0);
        EXPECT_EQ(trace.At(out + 80).state.loopIndex, 400);
        EXPECT_EQ(trace.frames.back().screen, Screen::Select);
        EXPECT_TRUE(trace.SoundFrames("play wavGoal notify from 0").empty());
        EXPECT_TRUE(trace.SoundFrames("play wavExtend notify from 0").empty());
        EXPECT_EQ(trace.Touches(out + 58), 1);
    }
}

int CountPixels(const Image& image, int x0, int y0, int x1, int y1, Colour colour) {
    int count = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) count += image.At(x, y) == colour;
    }
    return count;
}

// Checked on the frames as shown: the checkpoint message, the progress bar and the
// right-hand panel of a course with one checkpoint.
TEST(RunTrace, CheckpointMessageAndPanelOnScreen) {
    RunTrace trace(1, 0);
    trace.options.bot = BotOptions{15, 0};
    trace.options.runs = 1;
    int extendFrames = 0, yellowFrames = 0, barFrames = 0, panelFrames = 0, runFrames = 0;
    trace.onFrame = [&](const Game& game) {
        const GameState& s = game.state;
        const Image& shown = game.PicMain.image;
        if (game.screen != Screen::Run || s.countdown > 60 || game.state.loopIndex != 0) return;
        ++runFrames;
        if (s.extendTimer >= 1 && s.extendTimer <= 29) {
            ++extendFrames;
            yellowFrames += CountPixels(shown, 95, 260, 200, 282, Rgb(255, 255, 0)) > 20;
        } else if (s.extendTimer == 0) {
            yellowFrames -= CountPixels(shown, 90, 255, 210, 285, Rgb(255, 255, 0)) > 0;
        }
        if (s.countdown == 0) {
            const bool outline = shown.At(20, 265) == kWhite && shown.At(280, 275) == kWhite &&
                                 shown.At(150, 265) == kWhite && shown.At(280, 270) == kWhite;
            const bool filled = shown.At(21, 270) == Rgb(180, 180, 180);
            barFrames += outline && filled;
        }
        panelFrames += shown.At(300, 150) == kWhite && shown.At(399, 0) == kBlack && shown.At(301, 299) == kBlack &&
                       shown.At(399, 150) == kBlack;
    };
    trace.Run();

    const auto extend = trace.SoundFrames("play wavExtend notify from 0");
    ASSERT_EQ(extend.size(), 1u);
    EXPECT_EQ(trace.At(extend[0]).state.extendTimer, 50);
    EXPECT_EQ(trace.At(extend[0] + 21).state.extendTimer, 29);
    EXPECT_EQ(trace.At(extend[0]).state.stageIndex, 1);
    EXPECT_EQ(extendFrames, 29);
    EXPECT_EQ(yellowFrames, 29);
    const int barExpected =
        static_cast<int>(std::count_if(trace.frames.begin(), trace.frames.end(), [](const RunFrame& f) {
            return f.screen == Screen::Run && f.state.countdown == 0 && f.state.loopIndex == 0 &&
                   f.state.distance - (f.state.stageIndex ? f.state.checkpointDistance[0] : 0) >= 4;
        }));
    EXPECT_GT(barExpected, 100);
    EXPECT_GE(barFrames, barExpected);
    EXPECT_EQ(panelFrames, runFrames);
}

}  // namespace
}  // namespace kelo
