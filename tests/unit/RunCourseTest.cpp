#include <gtest/gtest.h>

#include "run/Course.h"

namespace kelo {
namespace {

GameState Reset(int course, int difficulty, GameState s = {}) {
    s.courseIndex = static_cast<uint8_t>(course);
    s.difficulty = static_cast<Difficulty>(difficulty);
    ResetRun(s);
    return s;
}

int StageCount(const GameState& s) {
    for (int k = 0; k < kStageCount; ++k) {
        if (s.checkpointDistance[k] == s.courseLength) return k + 1;
    }
    return 0;
}

TEST(ResetRun, CourseTwoHard) {
    GameState s = Reset(2, 1);
    EXPECT_EQ(s.stageTime[0], 19800);
    EXPECT_EQ(s.stageTime[1], 19800);
    EXPECT_EQ(s.difficultyRating, 4);
    EXPECT_EQ(s.courseLength, 20000);
    EXPECT_EQ(s.checkpointDistance[0], 7500);
}

TEST(ResetRun, StageTimesByDifficulty) {
    GameState normal = Reset(0, 0);
    EXPECT_EQ(normal.stageTime[0], 4950);
    EXPECT_EQ(normal.stageTime[1], 17 * 990);
    EXPECT_EQ(normal.stageTime[2], 18 * 990);
    GameState hard = Reset(0, 1);
    EXPECT_EQ(hard.stageTime[0], 2970);
    EXPECT_EQ(hard.stageTime[1], 11 * 990);
    EXPECT_EQ(hard.stageTime[2], 11 * 990);

    const int hard8[] = {20, 24, 19, 4};
    GameState eight = Reset(8, 1);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(eight.stageTime[k], hard8[k] * 990) << k;
    const int hard4[] = {15, 7, 3};
    GameState four = Reset(4, 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(four.stageTime[k], hard4[k] * 990) << k;
}

// The run loop relies on this: the last stage ends at the goal, every stage gives
// whole game seconds, and stages end further on each time.
TEST(ResetRun, EveryCourseEndsItsLastStageAtTheGoal) {
    for (int c = 0; c < kCourseCount; ++c) {
        for (int d = 0; d < 2; ++d) {
            GameState s = Reset(c, d);
            const int stages = StageCount(s);
            ASSERT_GE(stages, 2) << c;
            for (int k = 0; k < stages; ++k) {
                EXPECT_GT(s.stageTime[k], 0) << c << "/" << k;
                EXPECT_EQ(s.stageTime[k] % 990, 0) << c << "/" << k;
                if (k > 0) {
                    EXPECT_GT(s.checkpointDistance[k], s.checkpointDistance[k - 1]);
                }
            }
            EXPECT_GE(s.keyPoolSize[0], 1);
            EXPECT_GE(s.keyPoolSize[1], 1);
            EXPECT_LE(s.bgmIndex, 1);
        }
    }
}

TEST(ResetRun, CourseSevenLooksRestoredAfterScriptChanges) {
    GameState s = Reset(7, 0);
    s.backColour = {1, 2, 3};
    s.starTint = {0.2f, 0.2f, 0.2f};
    s.starBand = {80000, -40000};
    s.keyPoolSize = {15, 13};
    s = Reset(7, 0, s);
    EXPECT_EQ(s.backColour, (std::array<uint8_t, 3>{50, 40, 20}));
    EXPECT_EQ(s.starTint, (std::array<float, 3>{1.5f, 1.3f, 0.8f}));
    EXPECT_EQ(s.starBand, (std::array<int32_t, 2>{20000, 300}));
    EXPECT_EQ(s.keyPoolSize, (std::array<uint8_t, 2>{5, 4}));

    s = Reset(1, 0, s);
    EXPECT_EQ(s.starTint, (std::array<float, 3>{1, 1, 1}));
}

TEST(ResetRun, StagesBeyondTheLastKeepOlderValues) {
    GameState s = Reset(8, 0);
    s = Reset(1, 0, s);
    EXPECT_EQ(s.checkpointDistance[0], 2400);
    EXPECT_EQ(s.checkpointDistance[1], 6000);
    EXPECT_EQ(s.stageTime[1], 9900);
    EXPECT_EQ(s.checkpointDistance[2], 37000);
    EXPECT_EQ(s.checkpointDistance[3], 43000);
    EXPECT_EQ(s.stageTime[2], 19800);
    EXPECT_EQ(s.stageTime[3], 4950);
}

TEST(ResetRun, KeyPoolsWidenAgainForAllKeyCourses) {
    for (int c : {4, 6, 8}) {
        GameState s = Reset(2, 0);
        s.keyPoolSize = {1, 1};
        s = Reset(c, 0, s);
        EXPECT_EQ(s.keyPoolSize, (std::array<uint8_t, 2>{15, 13})) << c;
    }
    EXPECT_EQ(Reset(2, 0).keyPoolSize, (std::array<uint8_t, 2>{1, 4}));
    EXPECT_EQ(Reset(5, 0).keyPoolSize, (std::array<uint8_t, 2>{15, 4}));
}

TEST(ResetRun, ClearsTheRunButNotTheWorld) {
    GameState s = Reset(3, 0);
    s.speed = 42;
    s.elapsedTime = 12345;
    s.keyTally = KeyTally{{5, 6}, {7, 8}};
    s.targetQueue = {"FASDFASDFA", "JKLJKLJKLJ"};
    s.queueScroll = {30, 40};
    s.handWait = {3, 3};
    s.distance = 777;
    s.curveRate = 0.05f;
    s.warpCharge = 90;
    s = Reset(4, 0, s);
    EXPECT_EQ(s.speed, 0);
    EXPECT_EQ(s.elapsedTime, 0);
    EXPECT_EQ(s.keyTally, (KeyTally{}));
    EXPECT_TRUE(s.targetQueue[0].empty());
    EXPECT_TRUE(s.targetQueue[1].empty());
    EXPECT_EQ(s.queueScroll, (std::array<int16_t, 2>{}));
    EXPECT_EQ(s.handWait, (std::array<uint8_t, 2>{}));
    EXPECT_EQ(s.distance, 777);
    EXPECT_EQ(s.curveRate, 0.05f);
    EXPECT_EQ(s.warpCharge, 90);
}

TEST(ResetRun, RhythmRows) {
    GameState zero = Reset(0, 0);
    EXPECT_EQ(zero.handPeriod, (std::array<uint8_t, 2>{2, 2}));
    EXPECT_EQ(zero.handWait, (std::array<uint8_t, 2>{1, 0}));  // right hand first
    EXPECT_EQ(zero.letterSpacingTarget, (std::array<int16_t, 2>{240, 240}));
    EXPECT_EQ(zero.letterSpacing, (std::array<int16_t, 2>{120, 120}));

    for (int c : {3, 7}) {
        GameState s = Reset(c, 1);
        EXPECT_EQ(s.handPeriodTarget, (std::array<uint8_t, 2>{2, 2})) << c;
        EXPECT_EQ(s.handWait, (std::array<uint8_t, 2>{0, 1})) << c;  // left hand first
        EXPECT_EQ(s.letterSpacingTarget, (std::array<int16_t, 2>{80, 80})) << c;
    }

    GameState two = Reset(2, 0);
    EXPECT_EQ(two.handPeriodTarget, (std::array<uint8_t, 2>{4, 1}));
    EXPECT_EQ(two.handPeriod, (std::array<uint8_t, 2>{1, 1}));
    GameState five = Reset(5, 0);
    EXPECT_EQ(five.handPeriodTarget, (std::array<uint8_t, 2>{1, 4}));

    GameState four = Reset(4, 0, zero);
    EXPECT_EQ(four.handPeriod, (std::array<uint8_t, 2>{1, 1}));
    EXPECT_EQ(four.letterSpacingTarget, (std::array<int16_t, 2>{80, 80}));
    EXPECT_EQ(four.letterSpacing, (std::array<int16_t, 2>{50, 50}));
}

}  // namespace
}  // namespace kelo
