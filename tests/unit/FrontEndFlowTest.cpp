// The front-end screens inside the whole game, driven by the simulator.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/common/RecordStore.h"
#include "platform/sim/Simulation.h"
#include "records/RecordFile.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

class FrontEndFlowTest : public ::testing::Test {
protected:
    fs::path dir;
    SimOptions options;

    void SetUp() override {
        dir = fs::temp_directory_path() / ("kelo-flow-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
        options.recordsDir = dir.string();
    }
    void TearDown() override { fs::remove_all(dir); }

    void StoreRecords(const RecordTable& table) {
        Random random;
        ASSERT_TRUE(RecordStore(dir).Write(EncodeRecordFile(table, random)));
    }
    RecordTable StoredRecords() { return DecodeRecordFile(RecordStore(dir).Read().value_or(std::vector<uint8_t>{})); }
    std::vector<int64_t> FramesOf(const SimResult& result, const std::string& command) {
        std::vector<int64_t> frames;
        for (const SimSound& s : result.sounds) {
            if (s.command == command) frames.push_back(s.frame);
        }
        return frames;
    }
};

TEST_F(FrontEndFlowTest, TitleSelectRunAndBackWithoutEarlierScreensLingering) {
    // Title: Space at 25, wipe 26..46, pause 47. Select: first frame 48, Space at 52,
    // wipe 53..73, pause 74. The run is left with Escape; select again, then close.
    options.script = ParseScript("25 tap SPACE\n52 tap SPACE\n120 tap ESCAPE\n200 close\n");
    std::vector<std::pair<int64_t, Screen>> screens;
    options.observer = [&](const Game& game, const SimFrame& frame) {
        if (screens.empty() || screens.back().second != game.screen) screens.push_back({frame.frame, game.screen});
    };
    SimResult result = RunSimulation(options);
    EXPECT_EQ(result.exitCode, 0) << result.message;

    ASSERT_GE(screens.size(), 4u);
    EXPECT_EQ(screens[0].second, Screen::Title);
    EXPECT_EQ(screens[1], (std::pair<int64_t, Screen>{48, Screen::Select}));
    EXPECT_EQ(screens[2].second, Screen::Run);
    EXPECT_EQ(screens[3].second, Screen::Select);
    EXPECT_EQ(FramesOf(result, "play wavDec notify from 0"), (std::vector<int64_t>{25, 52}));
    EXPECT_EQ(FramesOf(result, "stop midBGM1").size(), 2u);
    EXPECT_EQ(FramesOf(result, "open snd/tap.wav Alias wavTip"), (std::vector<int64_t>{22}));
}

TEST_F(FrontEndFlowTest, PagingRefillsTheStarsButTogglingTheDifficultyKeepsThem) {
    RecordTable cleared;
    cleared.clearMark[0] = 1;
    StoreRecords(cleared);
    options.start = Screen::Select;
    options.script = ParseScript("15 tap UP\n25 tap RIGHT\n");
    options.frames = 30;
    std::map<int64_t, std::array<Star, kStarCount>> stars;
    std::map<int64_t, Difficulty> difficulty;
    options.observer = [&](const Game& game, const SimFrame& frame) {
        stars[frame.frame] = game.state.stars;
        difficulty[frame.frame] = game.state.difficulty;
    };
    RunSimulation(options);

    auto same = [](const std::array<Star, kStarCount>& a, const std::array<Star, kStarCount>& b) {
        for (int i = 0; i < kStarCount; ++i) {
            if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z) return false;
        }
        return true;
    };
    EXPECT_EQ(difficulty[14], Difficulty::Normal);
    EXPECT_EQ(difficulty[15], Difficulty::Hard);
    EXPECT_TRUE(same(stars[14], stars[15]));
    EXPECT_EQ(difficulty[24], Difficulty::Hard);
    EXPECT_EQ(difficulty[25], Difficulty::Normal);  // course 1 is not cleared: back to Normal
    EXPECT_FALSE(same(stars[24], stars[25]));
}

TEST_F(FrontEndFlowTest, AGoalRunIsSavedAndLoadsOnTheNextStart) {
    options.start = Screen::Run;
    options.bot = BotOptions{8, 0};
    options.runs = 1;
    SimResult first = RunSimulation(options);
    ASSERT_EQ(first.runsCompleted, 1) << first.message;

    RecordTable saved = StoredRecords();
    ASSERT_NE(saved.courseRecords[0].times[0], 0);
    EXPECT_EQ(saved.clearMark[0], 1);
    EXPECT_EQ(saved.openCourses, 3);

    SimOptions again;
    again.recordsDir = dir.string();
    again.start = Screen::Select;
    again.frames = 2;
    CourseRecord shown{};
    uint8_t open = 0;
    again.observer = [&](const Game& game, const SimFrame&) {
        shown = game.state.courseRecords[0];
        open = game.state.openCourses;
    };
    RunSimulation(again);
    EXPECT_EQ(shown.times, saved.courseRecords[0].times);
    EXPECT_EQ(shown.speeds, saved.courseRecords[0].speeds);
    EXPECT_EQ(open, 3);
}

}  // namespace
}  // namespace kelo
