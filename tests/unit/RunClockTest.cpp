#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "RunTestPlatform.h"
#include "run/Course.h"
#include "run/PlayRun.h"

namespace kelo {
namespace {

using testing::RunTestPlatform;

// One frame step of a course that is flying: clock started, before the goal.
class RunClock : public ::testing::Test {
protected:
    RunTestPlatform platform;
    Game game{platform};
    GameState& s = game.state;

    void SetUp() override {
        s.courseIndex = 1;  // checkpoints 2400 and 6000, 14850 and 9900 ms
        ResetRun(s);
        s.stageIndex = 0;
        s.distance = 100;
        s.elapsedTime = 1;
        s.countdown = 20;
        game.run.frameTime = 33;
    }
    bool Sent(const std::string& command) const {
        return std::find(platform.sounds.begin(), platform.sounds.end(), command) != platform.sounds.end();
    }
};

TEST_F(RunClock, FlyingSpendsTheMeasuredFrameTime) {
    game.run.frameTime = 47;
    s.speed = 10;
    AdvanceRun(game);
    EXPECT_FLOAT_EQ(s.speed, 9.95f);
    EXPECT_FLOAT_EQ(s.distance, 109.95f);
    EXPECT_EQ(s.elapsedTime, 48);
    EXPECT_EQ(s.stageTime[0], 14850 - 47);
    EXPECT_EQ(s.countdown, 19);
    EXPECT_EQ(game.run.ringSlot, 1);
    EXPECT_EQ(game.run.endTimer, 0);
}

// A replayed run may start from any state and be given any clock: the clocks stop at
// the 32-bit limits (the sanitizer build would stop on an overflow).
TEST_F(RunClock, ClocksHoldAtTheIntegerLimits) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    struct Case {
        int32_t elapsed, stageLeft, nextStage, frameTime;
        float distance;
        int32_t wantElapsed, wantIndex, wantTime;  // the stage index after the frame, and its time
    };
    const Case cases[] = {
        {1, 1000, 9900, kMax, 100, kMax, 0, 0},             // a clock leap of 2^31 - 1 ms
        {1, kMin, 9900, 1, 100, 2, 0, 0},                   // a stage time below zero
        {1, 1000, kMax, -1, 2400, 0, 1, kMax},              // a checkpoint onto a full stage
        {1, kMax - 1, 9900, kMin, 100, kMin + 1, 0, kMax},  // a clock leaping backwards
    };
    for (const Case& c : cases) {
        s.stageIndex = 0;
        s.elapsedTime = c.elapsed;
        s.stageTime[0] = c.stageLeft;
        s.stageTime[1] = c.nextStage;
        s.distance = c.distance;
        s.speed = 0;
        game.run.frameTime = c.frameTime;
        AdvanceRun(game);
        EXPECT_EQ(s.elapsedTime, c.wantElapsed) << c.frameTime;
        EXPECT_EQ(s.stageIndex, c.wantIndex) << c.frameTime;
        EXPECT_EQ(s.stageTime[c.wantIndex], c.wantTime) << c.frameTime;
    }
}

TEST_F(RunClock, SlowSpeedDecaysLinearlyToRest) {
    s.speed = 1.5f;
    AdvanceRun(game);
    EXPECT_FLOAT_EQ(s.speed, 1.49f);
    s.speed = 0.004f;
    AdvanceRun(game);
    EXPECT_EQ(s.speed, 0);
    s.speed = 2.5f;
    AdvanceRun(game);
    EXPECT_FLOAT_EQ(s.speed, 2.4875f);
}

TEST_F(RunClock, CheckpointCarriesTheTimeLeft) {
    s.distance = 2400;
    s.stageTime[0] = 1000;
    s.extendTimer = 3;
    AdvanceRun(game);
    EXPECT_EQ(s.stageIndex, 1);
    EXPECT_EQ(s.stageTime[1], 9900 + 967);
    EXPECT_EQ(s.extendTimer, 50);
    EXPECT_TRUE(Sent("play wavExtend notify from 0"));
}

TEST_F(RunClock, CheckpointReachedAsTheTimeRunsOutIsATimeOut) {
    s.distance = 2400;
    s.stageTime[0] = 33;
    AdvanceRun(game);
    EXPECT_EQ(s.stageIndex, 0);
    EXPECT_EQ(s.stageTime[0], 0);
    EXPECT_EQ(s.stageTime[1], 9900);
    EXPECT_EQ(s.extendTimer, 0);
    EXPECT_EQ(game.run.endTimer, 3);
    EXPECT_TRUE(platform.sounds.empty());

    s.speed = 5;  // the craft flies on, but nothing more is counted
    for (int frame = 0; frame < 400; ++frame) AdvanceRun(game);
    EXPECT_EQ(s.stageIndex, 0);
    EXPECT_EQ(s.elapsedTime, 34);
    EXPECT_EQ(game.run.endTimer, 999);
}

TEST_F(RunClock, GoalComesBeforeTheTimeDecrement) {
    s.stageIndex = 1;
    s.distance = 5999.5f;
    s.speed = 3;
    s.stageTime[1] = 20;
    s.elapsedTime = 20000;
    AdvanceRun(game);
    EXPECT_EQ(s.stageTime[1], 20);
    EXPECT_EQ(s.elapsedTime, 20000);
    EXPECT_EQ(game.run.endTimer, 1);
    EXPECT_EQ(game.run.newRank, 1);
    EXPECT_EQ(platform.sounds, (std::vector<std::string>{"play wavGoal notify from 0"}));
    EXPECT_EQ(s.courseRecords[1].times[0], 20000);
    EXPECT_EQ(platform.writes, 1);

    AdvanceRun(game);
    EXPECT_EQ(game.run.endTimer, 2);
    EXPECT_EQ(platform.sounds.size(), 1u);
    EXPECT_EQ(platform.writes, 1);
}

TEST_F(RunClock, GoalAfterATimeOutIsNotRanked) {
    s.stageTime[0] = 0;
    game.run.endTimer = 9;
    s.distance = 6000;
    AdvanceRun(game);
    EXPECT_EQ(game.run.endTimer, 13);
    EXPECT_TRUE(platform.sounds.empty());
    EXPECT_EQ(s.courseRecords[1].times[0], 0);
}

TEST_F(RunClock, WaitingHoldsTheCountdownAtTwenty) {
    s.elapsedTime = 0;
    s.countdown = 22;
    for (int frame = 0; frame < 5; ++frame) AdvanceRun(game);
    EXPECT_EQ(s.countdown, 20);
    EXPECT_EQ(s.stageTime[0], 14850);
    EXPECT_EQ(s.elapsedTime, 0);
    EXPECT_EQ(game.run.endTimer, 0);
}

TEST_F(RunClock, RunEndsAtTheLastGameSecond) {
    s.elapsedTime = 999 * 990 - 1;
    AdvanceRun(game);
    EXPECT_GT(s.stageTime[0], 0);
    EXPECT_EQ(s.elapsedTime, 999 * 990 + 32);
    AdvanceRun(game);
    EXPECT_EQ(s.stageTime[0], 0);
    EXPECT_EQ(game.run.endTimer, 3);
}

TEST_F(RunClock, RunEndsWhenASlowFrameJumpsPastTheLastGameSecond) {
    s.elapsedTime = 998 * 990;
    s.stageTime[0] = 100000;
    game.run.frameTime = 3000;
    AdvanceRun(game);
    ASSERT_EQ(s.elapsedTime / 990, 1001);
    AdvanceRun(game);
    EXPECT_EQ(s.stageTime[0], 0);
    EXPECT_EQ(s.elapsedTime, 998 * 990 + 3000);
}

class FrameMeasure : public RunClock {
protected:
    // A frame that started at `start` and ends `ms` later on the platform clock.
    void Frame(uint32_t start, uint32_t ms) {
        s.frameStartTime = static_cast<int32_t>(start);
        platform.clock = start + ms;
        MeasureFrame(game);
    }
};

TEST_F(FrameMeasure, FrameTimeAcrossTheClockWrap) {
    Frame(0xFFFFFFF0u, 40);
    EXPECT_EQ(game.run.frameTime, 40);
    EXPECT_EQ(s.frameEndTime, 24);
}

TEST_F(FrameMeasure, GroupsOfThirtyFrames) {
    s.fpsFrames = 0;
    s.fpsSum = {0, 1};
    for (int i = 0; i < 29; ++i) Frame(1000, 33);
    EXPECT_EQ(s.fpsSum[0], 29 * 33);
    EXPECT_EQ(s.fpsSum[1], 1);
    Frame(1000, 50);
    EXPECT_EQ(s.fpsSum[1], 29 * 33 + 50);
    EXPECT_EQ(s.fpsSum[0], 0);
    EXPECT_EQ(s.fpsFrames, 0);
}

TEST_F(FrameMeasure, SlowGroupSaturatesTheSum) {
    s.fpsFrames = 0;
    for (int i = 0; i < 30; ++i) Frame(1000, 2000);
    EXPECT_EQ(s.fpsSum[1], 32767);
    Frame(1000, 70000);
    EXPECT_EQ(s.fpsSum[0], 32767);
}

TEST_F(FrameMeasure, LoadLevelRisesOnSlowFramesAndRecovers) {
    for (int i = 0; i < 10; ++i) Frame(1000, 39);
    EXPECT_EQ(game.run.loadLevel, 10);
    Frame(1000, 39);
    EXPECT_EQ(game.run.loadLevel, 15);
    for (int i = 0; i < 40; ++i) Frame(1000, 100);
    EXPECT_EQ(game.run.loadLevel, 115);
    Frame(1000, 38);
    EXPECT_EQ(game.run.loadLevel, 114);
}

}  // namespace
}  // namespace kelo
