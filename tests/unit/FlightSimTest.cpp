// Whole runs in the simulator: the course scripts flown from start to goal by the bot,
// the streaks in the finished frames, and load shedding under slow frames.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "GameLoop.h"
#include "TempDir.h"
#include "platform/common/TextRendering.h"
#include "platform/sim/Simulation.h"
#include "run/World.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

bool InRun(const Game& game) { return game.screen == Screen::Run; }

// The 50 x 130 corner at the top left of the view, where neither the lanes, the letters,
// the discs, the messages nor the result panel are drawn: there the frame shows the
// world picture as the world step left it.
bool CornerShowsOnlyTheCurrentLayer(const Game& game) {
    for (int y = 0; y < 130; ++y) {
        for (int x = 0; x < 50; ++x) {
            const Colour layer = game.PicBMask.image.At(x, y) & game.PicBBack.image.At(x, y);
            if (game.PicBack.image.At(x, y) != layer) return false;
        }
    }
    return true;
}

struct CourseFlight {
    float minCurve = 0;
    float maxCurve = 0;
    bool goal = false;
    uint8_t rankAtGoal = 0;
    std::set<std::pair<int, int>> pools;
    int longestPeriod = 0;
};

CourseFlight FlyCourse(int course, const std::string& recordsDir) {
    CourseFlight flight;
    SimOptions options;
    options.start = Screen::Run;
    options.course = course;
    options.bot = BotOptions{15, 0};
    options.runs = 1;
    options.recordsDir = recordsDir;
    options.observer = [&](const Game& game, const SimFrame&) {
        if (!InRun(game)) return;
        const GameState& s = game.state;
        flight.minCurve = std::min(flight.minCurve, s.curveRate);
        flight.maxCurve = std::max(flight.maxCurve, s.curveRate);
        flight.pools.insert({s.keyPoolSize[0], s.keyPoolSize[1]});
        flight.longestPeriod = std::max({flight.longestPeriod, +s.handPeriod[0], +s.handPeriod[1]});
        if (s.distance >= s.courseLength && s.stageTime[s.stageIndex] > 0) {
            flight.goal = true;
            flight.rankAtGoal = game.run.newRank;
        }
    };
    const SimResult result = RunSimulation(options);
    EXPECT_EQ(result.exitCode, 0) << result.message;
    return flight;
}

TEST(FlightSim, EveryCourseFliesItsCurvesAndKeySetsToTheGoal) {
    struct Expected {
        float minCurve;
        float maxCurve;
        std::pair<int, int> pools;  // a key set the course must switch to on the way
        int longestPeriod;
    };
    const Expected expected[kCourseCount] = {
        {0, 0, {5, 4}, 2},          {-0.05f, 0.05f, {5, 4}, 2}, {-0.41f, 0.12f, {5, 1}, 4},
        {0, 0, {15, 13}, 2},        {0, 0, {15, 13}, 1},        {-0.12f, 0.41f, {1, 4}, 4},
        {-0.1f, 0.1f, {15, 13}, 3}, {0, 0, {15, 13}, 2},        {-0.12f, 0.12f, {1, 1}, 4},
    };
    TempDir records("kelo-flight");
    for (int course = 0; course < kCourseCount; ++course) {
        SCOPED_TRACE("course " + std::to_string(course));
        const CourseFlight flight = FlyCourse(course, records.Path());
        const Expected& e = expected[course];
        EXPECT_TRUE(flight.goal);
        EXPECT_EQ(flight.rankAtGoal, 1);
        EXPECT_NEAR(flight.minCurve, e.minCurve, 0.01f);
        EXPECT_NEAR(flight.maxCurve, e.maxCurve, 0.01f);
        EXPECT_TRUE(flight.pools.contains(e.pools));
        EXPECT_EQ(flight.longestPeriod, e.longestPeriod);
    }
}

TEST(FlightSim, StreaksShowOnlyFromLevelTwenty) {
    TempDir records("kelo-flight");
    int framesWithStreaks = 0;
    int streakFramesThatDiffer = 0;
    SimOptions options;
    options.start = Screen::Run;
    options.course = 4;
    options.bot = BotOptions{15, 0};
    options.frames = 400;
    options.recordsDir = records.Path();
    options.observer = [&](const Game& game, const SimFrame&) {
        if (!InRun(game) || game.state.countdown > 19) return;
        const bool streaks = StreakFrameCount(game.state.warpLevel, game.run.loadLevel) > 0;
        EXPECT_EQ(streaks, game.state.warpLevel >= 20);
        const bool onlyCurrent = CornerShowsOnlyTheCurrentLayer(game);
        if (!streaks) {
            EXPECT_TRUE(onlyCurrent) << "warpLevel " << game.state.warpLevel;
        } else {
            ++framesWithStreaks;
            if (!onlyCurrent) ++streakFramesThatDiffer;
        }
    };
    RunSimulation(options);
    EXPECT_GT(framesWithStreaks, 100);
    EXPECT_GT(streakFramesThatDiffer, framesWithStreaks / 2);
}

TEST(FlightSim, SlowFramesShedStreaksThenStars) {
    std::string error;
    auto font = CreateTextRenderer(error);
    ASSERT_TRUE(font) << error;
    TempDir records("kelo-flight");
    SimPlatformSettings settings;
    settings.frameLimit = 160;
    settings.recordsDir = records.Path();
    settings.frameCost = 45;  // every frame is slower than the 38 ms that sheds work
    SimPlatform platform(settings, {}, *font);
    Game game(platform);
    platform.Attach(game);
    platform.SetBot(SimBot(15, 0, 1));
    game.state.courseIndex = 4;

    GameState previous;
    bool seenStreaklessAtHighLevel = false;
    bool seenFrozenStars = false;
    platform.onPresent = [&](const Image&) {
        if (!InRun(game)) return;
        const GameState& s = game.state;
        if (game.run.loadLevel >= 10 && s.warpLevel >= 20) {
            EXPECT_TRUE(CornerShowsOnlyTheCurrentLayer(game));
            seenStreaklessAtHighLevel = true;
        }
        if (game.run.loadLevel >= 110 && previous.speed > 0) {
            for (int i = 0; i < kStarCount; ++i) ASSERT_EQ(s.stars[i].z, previous.stars[i].z) << i;
            seenFrozenStars = true;
        }
        previous = s;
    };
    try {
        PlayGame(game, Screen::Run);
    } catch (const SimStop&) {
    }
    EXPECT_GE(game.run.loadLevel, 110);
    EXPECT_TRUE(seenStreaklessAtHighLevel);
    EXPECT_TRUE(seenFrozenStars);
}

}  // namespace
}  // namespace kelo
